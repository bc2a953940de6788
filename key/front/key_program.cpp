#include "key/front/key_program.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "key/front/commands.h"
#include "key/progress/progress.h"
#include "key/report/class_report.h"
#include "key/report/report_worker.h"
#include "key/model/exam_variants.h"
#include "key/base/words.h"
#include "key/variants/variant.h"
#include "platform/platform.h"
#include "platform/services.h"
#include "record/workspace.h"

#ifndef MOCK_MIDTERM_KEY_VERSION
#define MOCK_MIDTERM_KEY_VERSION "unknown"
#endif

namespace {
constexpr int usageStatus = 2;
constexpr int longestTimeLimit = 60;
// What readArgument returns when the program goes on with the next argument.
constexpr int goOn = -1;

// A printf format: the program's name and the ranges of its numbers go in.
constexpr const char* usageFormat =
    "Usage: %s COMMAND [OPTION]...\n"
    "Checks a practice attempt of the mock midterm, in the exam folder it is run in.\n"
    "\n"
    "Commands:\n"
    "  grade     compile signals.c and say, question by question, whether its\n"
    "            x, y, z and r are right, and which mistake a wrong one makes,\n"
    "            and draw them in check.png\n"
    "  answers   print the answer key of this exam and draw x, y and r in key.png\n"
    "  variant N|random|id\n"
    "            keep this attempt in attempts/ and make this folder's exam\n"
    "            variant N (1 to %d), one not taken here yet, or the one that\n"
    "            follows from the student's ID; mock-midterm then goes on with it\n"
    "  report FOLDER...\n"
    "            grade every exam folder (one holding exam.dat) at or under the\n"
    "            folders, on every core, print a summary of the class and draw\n"
    "            it in class.png beside the CSV\n"
    "  progress  grade the attempts kept in attempts/ and the current one, print\n"
    "            a line for each and the mistakes that came back, and draw them\n"
    "            in progress.png\n"
    "\n"
    "Options:\n"
    "  --time-limit SECONDS  how long the compile and each answer function may\n"
    "                        run when grading (grade, progress, report), 1 to\n"
    "                        %d (default %d)\n"
    "  --show-key            with grade: draw the key's curves in check.png too\n"
    "  --variant N           with answers: the key of variant N (1 to %d), without\n"
    "                        an exam folder\n"
    "  --csv FILE            with report: write the gradebook, a row per folder\n"
    "  --feedback FOLDER     with report: write each student's grading into FOLDER\n"
    "  --canvas-csv FILE     with report: write the scores as Canvas imports them\n"
    "  --moodle-csv FILE     with report: write the scores as Moodle imports them\n"
    "  --class-plot FILE     with report: draw the class in FILE, not class.png\n"
    "                        beside the CSV\n"
    "  --no-class-plot       with report: draw no class.png\n"
    "  --own-variant         with report: flag exams that are not the variant\n"
    "                        `variant id` gives the student\n"
    "  --jobs N              with report: grade N folders at once, 1 to %d\n"
    "                        (default: two per core)\n"
    "  --grade-unfenced      with report: grade the class even where this system\n"
    "                        cannot fence the students' programs (they then run\n"
    "                        with your rights)\n"
    "  --                    what follows is a command or folder, not an option\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Exit status of grade: 0 all right, 1 some wrong or no exam mock-midterm made,\n"
    "2 could not grade.\n"
    "Exit status of answers: 0 done, 1 no exam with questions here, 2 key.png not drawn.\n"
    "Exit status of variant: 0 done, 1 nothing changed (the reason is given).\n"
    "Exit status of report: 0 done, 1 no exam folder found, 2 an output not written\n"
    "or the class not graded unfenced.\n"
    "Exit status of progress: 0 done, 1 no exam and no attempt here, 2 no scratch folder.\n"
    "A wrong command line gives 2.\n";

// "from 1 to 200", as the messages give a range.
std::string fromOneTo(int largest) { return "from 1 to " + std::to_string(largest); }

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", keyProgramName, message.c_str(),
                 keyProgramName);
    return usageStatus;
}

struct CommandLine {
    std::string_view command;
    int timeLimitSeconds = defaultTimeLimitSeconds;
    bool timeLimitGiven = false;
    int variant = 0;
    bool variantGiven = false;
    bool variantOption = false;  // given as --variant
    bool showKey = false;
    ReportOptions report;
    const char* workerFolder = nullptr;  // the class report's own gradings
    bool optionsEnded = false;           // after "--" every argument is a name
};

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

// Reads --time-limit or --variant at argv[*i]. Returns goOn when it was
// one of them, 1 when it was neither, or the exit status of a wrong value.
int readOption(std::string_view argument, int argc, const char* const* argv, int* i,
               CommandLine* line) {
    std::string value;
    int found = optionValue(argument, "--time-limit", argc, argv, i, &value);
    if (found < 0) {
        return usageError("--time-limit needs a number of seconds");
    }
    if (found == 0) {
        if (parseWholeNumber(value, 1, longestTimeLimit, &line->timeLimitSeconds) != 0) {
            return usageError("--time-limit takes a whole number of seconds " +
                              fromOneTo(longestTimeLimit) + ", not '" + value + "'");
        }
        line->timeLimitGiven = true;
        return goOn;
    }
    found = optionValue(argument, "--variant", argc, argv, i, &value);
    if (found < 0) {
        return usageError("--variant needs a number " + fromOneTo(variantCount));
    }
    if (found == 0) {
        if (parseWholeNumber(value, 1, variantCount, &line->variant) != 0) {
            return usageError("--variant takes a number " + fromOneTo(variantCount) + ", not '" +
                              value + "'");
        }
        line->variantGiven = true;
        line->variantOption = true;
        return goOn;
    }
    return 1;
}

// Reads one of report's own options or folders at argv[*i]. Returns goOn
// when it was one, 1 when it was none, or the exit status of a wrong value.
int readReportArgument(std::string_view argument, int argc, const char* const* argv, int* i,
                       ReportOptions* report) {
    if (argument == "--own-variant") {
        report->ownVariants = true;
        return goOn;
    }
    if (argument == "--grade-unfenced") {
        report->gradeUnfenced = true;
        return goOn;
    }
    if (argument == "--no-class-plot") {
        report->classPlot = false;
        return goOn;
    }
    std::string jobs;
    const struct {
        const char* name;
        std::string* value;
    } named[] = {{"--csv", &report->csvPath}, {"--feedback", &report->feedbackFolder},
                {"--canvas-csv", &report->canvasCsvPath}, {"--moodle-csv", &report->moodleCsvPath},
                {"--class-plot", &report->classPlotPath},
                {"--jobs", &jobs}};
    for (const auto& option : named) {
        const int found = optionValue(argument, option.name, argc, argv, i, option.value);
        if (found < 0 || (found == 0 && option.value->empty())) {
            return usageError(std::string(option.name) + " needs a value");
        }
        if (found == 0 && option.value == &jobs &&
            parseWholeNumber(jobs, 1, mostReportJobs, &report->jobs) != 0) {
            return usageError("--jobs takes a number " + fromOneTo(mostReportJobs) +
                              ", not '" + jobs + "'");
        }
        if (found == 0) {
            return goOn;
        }
    }
    return 1;
}

// Reads a word that is no option: the command, variant's N, or one of
// report's folders. Returns goOn, or the exit status of a wrong word.
int readName(std::string_view argument, const char* text, CommandLine* line) {
    if (line->command == "report") {
        line->report.folders.emplace_back(argument);
        return goOn;
    }
    if (line->command == "variant" && !line->variantGiven) {
        if (parseVariant(text, &line->variant) != 0) {
            return usageError("variant takes a number " + fromOneTo(variantCount) +
                              ", random or id, not '" + std::string(argument) + "'\nUsage: " +
                              keyProgramName + " variant N|random|id");
        }
        line->variantGiven = true;
        return goOn;
    }
    if (!line->command.empty()) {
        return usageError("unexpected argument '" + std::string(argument) + "'");
    }
    if (argument != "grade" && argument != "answers" && argument != "variant" &&
        argument != "report" && argument != "progress") {
        return usageError("unknown command '" + std::string(argument) + "'");
    }
    line->command = argument;
    return goOn;
}

// Reads argv[*i], moving *i past an option's value. Returns goOn, or the
// exit status to end with (help and version are done then).
int readArgument(int argc, const char* const* argv, int* i, CommandLine* line) {
    const std::string_view argument = argv[*i];
    if (line->optionsEnded) {
        return readName(argument, argv[*i], line);
    }
    if (argument == "--") {
        line->optionsEnded = true;  // so that `report *` takes a folder named "-x" as a folder
        return goOn;
    }
    if (argument == "--report-worker" && *i + 1 < argc) {
        line->workerFolder = argv[++*i];  // not for people, so not in --help
        return goOn;
    }
    if (argument == "-h" || argument == "--help") {
        std::printf(usageFormat, keyProgramName, variantCount, longestTimeLimit,
                    defaultTimeLimitSeconds, variantCount, mostReportJobs);
        return 0;
    }
    if (argument == "--version") {
        std::printf("%s %s\n", keyProgramName, MOCK_MIDTERM_KEY_VERSION);
        return 0;
    }
    if (argument == "--show-key") {
        line->showKey = true;
        return goOn;
    }
    const int option = readOption(argument, argc, argv, i, line);
    if (option != 1) {
        return option;
    }
    if (line->command == "report") {
        const int reportArgument = readReportArgument(argument, argc, argv, i, &line->report);
        if (reportArgument != 1) {
            return reportArgument;
        }
    }
    if (argument.size() > 1 && argument[0] == '-') {
        return usageError("unknown option '" + std::string(argument) + "'");
    }
    return readName(argument, argv[*i], line);
}

// Whether the options go with the command. Returns goOn, or the exit status.
int checkCombination(const CommandLine& line) {
    if (line.command.empty()) {
        return usageError("no command given: grade, answers, variant, report or progress");
    }
    if (line.timeLimitGiven && line.command != "grade" && line.command != "report" &&
        line.command != "progress") {
        return usageError("--time-limit is for grade, report and progress only");
    }
    if (line.command == "report" && line.report.folders.empty()) {
        return usageError("report needs the folders to look in for exam folders");
    }
    if (line.showKey && line.command != "grade") {
        return usageError("--show-key is for grade only");
    }
    if (line.command == "variant" && !line.variantGiven) {
        return usageError("variant needs a number " + fromOneTo(variantCount) + ", random or id");
    }
    if (line.variantOption && line.command != "answers") {
        return usageError("--variant is for answers only");
    }
    return goOn;
}

// Runs a command that works on the exam folder.
int runInFolder(const CommandLine& line) {
    // The exam, or another variant, running here owns exam.dat, q1plot.dat
    // and q1.png until it ends; grading and the key only read them.
    const bool examRunning = claimWorkspace(true) == 1;
    if (line.command == "variant" && examRunning) {
        sayProblem("mock-midterm (or another variant) is running in this folder: end it, then "
                   "try again. Nothing was changed.");
        return 1;
    }
    if (!examRunning) {
        // A variant stopped before it drew its plot left the old one.
        repairPlotData(platformServices());
    }
    if (line.command == "variant") {
        return startVariant(line.variant, platformServices(), platformFileOps());
    }
    // Grading and the key write nothing of the exam's: the student may
    // start the exam meanwhile without being told another copy runs.
    unlockExamFolder();
    if (line.command == "answers") {
        return printAnswerKey(platformServices());
    }
    if (line.command == "progress") {
        return runProgress(line.timeLimitSeconds, line.report.program);
    }
    return gradeCommand(platformServices(), line.timeLimitSeconds, line.showKey);
}
}  // namespace

int runKeyProgram(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const int status = readArgument(argc, argv, &i, &line);
        if (status != goOn) {
            return status;
        }
    }
    if (line.workerFolder != nullptr) {
        return runReportWorker(line.workerFolder, line.timeLimitSeconds);
    }
    const int status = checkCombination(line);
    if (status != goOn) {
        return status;
    }
    if (line.command == "answers" && line.variantGiven) {
        return printVariantKey(line.variant);
    }
    if (line.command == "report") {
        // It reads the students' folders and writes only its outputs: no
        // folder's lock or plot is its business.
        ReportOptions report = line.report;
        report.timeLimitSeconds = line.timeLimitSeconds;
        report.program = ownProgramCommand(argc > 0 ? argv[0] : nullptr);
        return runClassReport(report);
    }
    // progress grades the attempts by the report's workers, run as it runs them.
    line.report.program = ownProgramCommand(argc > 0 ? argv[0] : nullptr);
    return runInFolder(line);
}
