#include "key/key_program.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "key/key_plot.h"
#include "key/key_text.h"
#include "key/record_check.h"
#include "key/scratch.h"
#include "key/variant.h"
#include "platform/platform.h"
#include "platform/services.h"
#include "record/workspace.h"

#ifndef MOCK_MIDTERM_KEY_VERSION
#define MOCK_MIDTERM_KEY_VERSION "unknown"
#endif

namespace {
constexpr const char* programName = "mock-midterm-key";
constexpr int usageStatus = 2;
constexpr int longestTimeLimit = 60;

constexpr const char* usageText =
    "Usage: mock-midterm-key COMMAND [OPTION]...\n"
    "Checks a practice attempt of the mock midterm, in the exam folder it is run in.\n"
    "\n"
    "Commands:\n"
    "  grade     compile signals.c and say, question by question, whether its\n"
    "            x, y, z and r are right, and draw them over the key in check.png\n"
    "  answers   print the answer key of this exam and draw x, y and r in key.png\n"
    "  variant N|random|id\n"
    "            keep this attempt in attempts/ and make this folder's exam\n"
    "            variant N (1 to 200), one not taken here yet, or the one that\n"
    "            follows from the student's ID; mock-midterm then goes on with it\n"
    "\n"
    "Options:\n"
    "  --time-limit SECONDS  how long the compile and each answer function may\n"
    "                        run when grading, 1 to 60 (default 5)\n"
    "  --variant N           with answers: the key of variant N (1 to 200), without\n"
    "                        an exam folder\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Exit status of grade: 0 all right, 1 some wrong or no exam mock-midterm made,\n"
    "2 could not grade.\n"
    "Exit status of answers: 0 done, 1 no exam with questions here, 2 key.png not drawn.\n"
    "Exit status of variant: 0 done, 1 nothing changed (the reason is given).\n"
    "A wrong command line gives 2.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", programName, message.c_str(), programName);
    return usageStatus;
}

int gradeCommand(int timeLimitSeconds) {
    ExamRecord record{};
    AnswerKey key{};
    const int loaded = loadAnswerKey(&record, &key);
    if (loaded != 0) {
        // A record no exam can hold is the student's folder at fault, as a
        // wrong answer is; no exam at all means there was nothing to grade.
        return loaded == notAnExam ? 1 : 2;
    }
    std::printf("Grading signals.c of ID %ld, group %d.\n", static_cast<long>(record.idNum),
                record.grpNum);
    return gradeAttempt(key, platformServices(), timeLimitSeconds);
}
}  // namespace

void sayProblem(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", programName, message.c_str());
}

int parseWholeNumber(std::string_view text, int smallest, int largest, int* number) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < smallest ||
        value > largest) {
        return -1;
    }
    *number = value;
    return 0;
}

int loadAnswerKey(ExamRecord* record, AnswerKey* key) {
    std::error_code error;
    const auto status = std::filesystem::status(workspaceFileName, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        sayProblem("there is no exam.dat here. Run this in your exam folder, once mock-midterm "
                 "has made your questions.");
        return -1;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        sayProblem("cannot read exam.dat: it is not a regular file.");
        return -1;
    }
    errno = 0;
    if (loadWorkspace(record) != 0) {
        const auto size = std::filesystem::file_size(workspaceFileName, error);
        if (!error && size < examRecordSize) {
            sayProblem("exam.dat holds no exam: it has " + std::to_string(size) +
                     " bytes, an exam has " + std::to_string(examRecordSize) + ".");
        } else {
            sayProblem(std::string("cannot read exam.dat: ") +
                     (errno != 0 ? std::strerror(errno) : "read failed") + ".");
        }
        return -1;
    }
    const RecordCheck check = checkExamRecord(*record);
    if (check == noQuestionsYet) {
        sayProblem("the exam in exam.dat has no questions yet: run mock-midterm until it has "
                 "written MOCK_MIDTERM.txt.");
        return -1;
    }
    if (check != possibleExam || makeAnswerKey(*record, key) != 0) {
        sayProblem("exam.dat does not hold an exam made by mock-midterm");
        return notAnExam;
    }
    return 0;
}

int printAnswerKey(const ExamServices& services) {
    ExamRecord record{};
    AnswerKey key{};
    if (loadAnswerKey(&record, &key) != 0) {
        return 1;
    }
    printAnswers(stdout, record, key);
    // An old key.png left in place would look like this exam's if gnuplot failed.
    std::remove(keyPlotName);
    int status = -1;
    if (makeScratch(plotFolderPrefix) != 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: cannot make a scratch folder here: %s.\n", programName,
                     std::strerror(errno));
    } else {
        if (writeKeyPlot(key, scratchPath(plotScriptName).c_str(), scratchPath(plotDataName).c_str(),
                         keyPlotName) == 0) {
            status = drawScratchPlot(services, keyPlotName);
        }
        removeScratch();
    }
    if (status != 0) {
        std::fflush(stdout);
        if (status == commandTimedOut) {
            std::fprintf(stderr, "%s: %s was not drawn: gnuplot did not finish within %d s.\n",
                         programName, keyPlotName, plotTimeLimitSeconds);
        } else {
            std::fprintf(stderr, "%s: %s was not drawn (gnuplot status %d).\n", programName,
                         keyPlotName, status);
        }
        return 2;
    }
    std::printf("\nThe plots of x, y and r are in %s.\n", keyPlotName);
    return 0;
}

int printVariantKey(int variant) {
    ExamRecord record{};
    record.state = Menu;
    AnswerKey key{};
    if (applyVariant(variant, &record) != 0 || makeAnswerKey(record, &key) != 0) {
        sayProblem("variant " + std::to_string(variant) + " has no key.");
        return 1;
    }
    printAnswers(stdout, record, key);
    return 0;
}

// Reads the value of the option `name`, given as "NAME=VALUE" or as
// "NAME VALUE" (then *i moves past the value). Returns 0 with the value, 1
// when the argument is another one, -1 when the value is missing.
int optionValue(std::string_view argument, std::string_view name, int argc,
                const char* const* argv, int* i, std::string* value) {
    if (argument.substr(0, name.size()) != name) {
        return 1;
    }
    if (argument.size() == name.size()) {
        if (*i + 1 >= argc) {
            return -1;
        }
        *value = argv[++*i];
        return 0;
    }
    if (argument[name.size()] != '=') {
        return 1;
    }
    *value = argument.substr(name.size() + 1);
    return 0;
}

int runKeyProgram(int argc, const char* const* argv) {
    std::string_view command;
    int timeLimitSeconds = defaultTimeLimitSeconds;
    bool timeLimitGiven = false;
    int variant = 0;
    bool variantGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(usageText, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("%s %s\n", programName, MOCK_MIDTERM_KEY_VERSION);
            return 0;
        }
        std::string value;
        int found = optionValue(argument, "--time-limit", argc, argv, &i, &value);
        if (found < 0) {
            return usageError("--time-limit needs a number of seconds");
        }
        if (found == 0) {
            if (parseWholeNumber(value, 1, longestTimeLimit, &timeLimitSeconds) != 0) {
                return usageError("--time-limit takes a whole number of seconds from 1 to 60, not '" +
                                  value + "'");
            }
            timeLimitGiven = true;
            continue;
        }
        found = optionValue(argument, "--variant", argc, argv, &i, &value);
        if (found < 0) {
            return usageError("--variant needs a number from 1 to 200");
        }
        if (found == 0) {
            if (parseWholeNumber(value, 1, variantCount, &variant) != 0) {
                return usageError("--variant takes a number from 1 to 200, not '" + value + "'");
            }
            variantGiven = true;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            return usageError("unknown option '" + std::string(argument) + "'");
        }
        if (command == "variant" && !variantGiven) {
            if (parseVariant(argv[i], &variant) != 0) {
                return usageError("variant takes a number from 1 to 200, random or id, not '" +
                                  std::string(argument) +
                                  "'\nUsage: mock-midterm-key variant N|random|id");
            }
            variantGiven = true;
            continue;
        }
        if (!command.empty()) {
            return usageError("unexpected argument '" + std::string(argument) + "'");
        }
        if (argument != "grade" && argument != "answers" && argument != "variant") {
            return usageError("unknown command '" + std::string(argument) + "'");
        }
        command = argument;
    }
    if (command.empty()) {
        return usageError("no command given: grade, answers or variant");
    }
    if (timeLimitGiven && command != "grade") {
        return usageError("--time-limit is for grade only");
    }
    if (command == "variant") {
        if (!variantGiven) {
            return usageError("variant needs a number from 1 to 200, random or id");
        }
    } else if (variantGiven) {
        if (command != "answers") {
            return usageError("--variant is for answers only");
        }
        return printVariantKey(variant);
    }
    // The exam, or another variant, running here owns exam.dat, q1plot.dat
    // and q1.png until it ends; grading and the key only read them.
    const bool examRunning = claimWorkspace() == 1;
    if (command == "variant" && examRunning) {
        sayProblem("mock-midterm (or another variant) is running in this folder: end it, then "
                 "try again. Nothing was changed.");
        return 1;
    }
    if (!examRunning) {
        // A variant stopped before it drew its plot left the old one.
        repairPlotData(platformServices());
    }
    if (command != "variant") {
        // Grading and the key write nothing of the exam's: the student may
        // start the exam meanwhile without being told another copy runs.
        unlockExamFolder();
    }
    if (command == "variant") {
        return startVariant(variant, platformServices());
    }
    if (command == "answers") {
        return printAnswerKey(platformServices());
    }
    return gradeCommand(timeLimitSeconds);
}
