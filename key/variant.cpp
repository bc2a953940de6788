#include "key/variant.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

#include "record/workspace.h"
#include "generate/mock_midterm.h"
#include "generate/questions.h"
#include "key/key_program.h"
#include "key/key_text.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* plotName = "q1.png";
// A kept attempt is gathered here first, so attempts/<n> is either whole or absent.
constexpr std::string_view keepingPrefix = ".keeping-";

// The lists of the mixed radix documented in the header, in their order.
constexpr int shifts[] = {-1, 0, 1, 2, 3};
constexpr int peaks[] = {2, 3};
constexpr int heights[] = {-1, 1};
constexpr int timeShifts[] = {-3, -2, -1, 1, 2};

std::string reasonOf(int error) {
    return error != 0 ? std::strerror(error) : "failed";
}

std::string variantName(const ExamRecord& record) {
    const int variant = variantOfRecord(record);
    const std::string transform = " (" + formatTransform(record.varQK, record.varQT) + ")";
    return variant > 0 ? "variant " + std::to_string(variant) + transform
                       : "an exam that is none of the 200 variants" + transform;
}

// Finds the kept attempts by number, each with the name of its exam, and
// marks the variants they took. Removes what a stopped run left while
// gathering one.
std::map<int, std::string> surveyAttempts(bool (&taken)[variantCount]) {
    std::map<int, std::string> kept;
    std::error_code error;
    // increment(error), not ++: a listing that fails ends the survey, it does not throw.
    for (fs::directory_iterator entry(attemptsFolderName, error); entry != fs::directory_iterator();
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.compare(0, keepingPrefix.size(), keepingPrefix) == 0) {
            std::error_code ignored;
            fs::remove_all(entry->path(), ignored);
            continue;
        }
        int number = 0;  // a kept attempt's folder is named by its number
        // Below INT_MAX, so that the next attempt's number still fits.
        if (parseWholeNumber(name, 1, INT_MAX - 1, &number) != 0) {
            continue;
        }
        std::string bytes;
        ExamRecord record{};
        if (readWholeFile((entry->path() / workspaceFileName).string().c_str(), &bytes) == 0 &&
            bytes.size() >= examRecordSize) {
            std::memcpy(&record, bytes.data(), examRecordSize);
            const int variant = variantOfRecord(record);
            if (variant > 0) {
                taken[variant - 1] = true;
            }
            kept[number] = variantName(record);
        } else {
            kept[number] = "an exam whose exam.dat is missing";
        }
    }
    return kept;
}

std::string timeNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "an unknown time";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", local);
    }
    return text;
}

// Copies the attempt's files into attempts/<number> and adds its line to
// attempts/README.txt, and the lines of earlier ones that a stopped run did
// not note. Returns 0, or -1 after saying why; the exam is then untouched and
// no partial copy stays.
int keepAttempt(const ExamRecord& record, const std::map<int, std::string>& earlier, int number,
                int nextVariant) {
    const std::string folder = std::string(attemptsFolderName) + "/" + std::to_string(number);
    const std::string gathering =
        std::string(attemptsFolderName) + "/" + std::string(keepingPrefix) + std::to_string(number);
    std::error_code error;
    if (!fs::create_directory(gathering, error)) {
        sayProblem("cannot keep your attempt: cannot make " + gathering + ": " + error.message() +
            ". Nothing was changed.");
        return -1;
    }
    const std::string names[] = {workspaceFileName, "signals.c",   mockMidtermFileName,
                                 plotDataFileName,  plotName, std::to_string(record.idNum) + ".pdf"};
    for (const std::string& name : names) {
        if (fs::symlink_status(name, error).type() == fs::file_type::not_found) {
            continue;
        }
        std::string copy = gathering;
        copy += "/";
        copy += name;
        std::string bytes;
        const int read = readWholeFile(name.c_str(), &bytes);
        if (read != 0 || replaceFileWith(copy.c_str(), bytes.data(), bytes.size(), platformFileOps()) != 0) {
            const std::string reason = read == notRegularFile ? "it is not a regular file" : reasonOf(errno);
            fs::remove_all(gathering, error);
            std::string message = "cannot keep your attempt: ";
            message += name;
            message += ": " + reason + ". Nothing was changed.";
            sayProblem(message);
            return -1;
        }
    }
    if (replaceFile(gathering.c_str(), folder.c_str()) != 0) {
        const int failure = errno;
        fs::remove_all(gathering, error);
        sayProblem("cannot keep your attempt in " + folder + ": " + reasonOf(failure) +
            ". Nothing was changed.");
        return -1;
    }
    std::string readme;
    if (readWholeFile(attemptsReadmeName, &readme, true) != 0) {
        readme = "Earlier attempts in this exam folder, kept by mock-midterm-key variant.\n"
                 "Each numbered folder holds the attempt's exam.dat, signals.c,\n"
                 "MOCK_MIDTERM.txt, q1plot.dat, q1.png and PDF as they were.\n\n";
    }
    for (const auto& [earlierNumber, name] : earlier) {
        const std::string line = std::to_string(earlierNumber) + "  ";
        if (readme.compare(0, line.size(), line) != 0 && readme.find("\n" + line) == std::string::npos) {
            readme += line + name + ", kept at a time not noted\n";
        }
    }
    readme += std::to_string(number) + "  " + variantName(record) + ", kept " + timeNow() +
              "; then variant " + std::to_string(nextVariant) + "\n";
    if (replaceFileWith(attemptsReadmeName, readme.data(), readme.size(), platformFileOps(), true) != 0) {
        // The copy is whole and stays; only the exam must not change unnoted.
        sayProblem(std::string("cannot write ") + attemptsReadmeName + ": " + reasonOf(errno) +
            ". The exam was not changed; a copy of it is in " + folder + ".");
        return -1;
    }
    return 0;
}
}  // namespace

int parseVariant(const char* text, int* variant) {
    const std::string_view word = text;
    if (word == "random") {
        *variant = randomVariant;
        return 0;
    }
    if (word == "id") {
        *variant = ownVariant;
        return 0;
    }
    return parseWholeNumber(word, 1, variantCount, variant);
}

int applyVariant(int variant, ExamRecord* record) {
    if (variant < 1 || variant > variantCount) {
        return -1;
    }
    int rest = variant - 1;
    const int k = timeShifts[rest % 5];
    rest /= 5;
    const int b = heights[rest % 2];
    rest /= 2;
    const int later = rest % 2;
    rest /= 2;
    const int a = peaks[rest % 2];
    rest /= 2;
    const int s = shifts[rest];
    const int p = s + 3 + later;
    const int t[q1PointCount] = {-2, s, s + 1, s + 2, p, p, p + 1, p + 1, 8, 8, 8};
    const int x[q1PointCount] = {0, 0, a, 0, 0, b, b, 0, 0, 0, 0};
    record->q1Shift = s;
    for (int i = 0; i < q1PointCount; ++i) {
        record->q1T[i] = t[i];
        record->q1X[i] = x[i];
    }
    record->varQT = k;
    record->varQK = 2;
    return 0;
}

int variantOfRecord(const ExamRecord& record) {
    for (int variant = 1; variant <= variantCount; ++variant) {
        ExamRecord made{};
        applyVariant(variant, &made);
        if (made.q1Shift == record.q1Shift && made.varQT == record.varQT &&
            made.varQK == record.varQK && std::equal(made.q1T, made.q1T + q1PointCount, record.q1T) &&
            std::equal(made.q1X, made.q1X + q1PointCount, record.q1X)) {
            return variant;
        }
    }
    return 0;
}

int variantOfId(std::int32_t idNum) {
    const std::int64_t place = (77 * static_cast<std::int64_t>(idNum)) % variantCount;
    return 1 + static_cast<int>(place < 0 ? place + variantCount : place);
}

int pickUntakenVariant(const bool (&taken)[variantCount], std::uint64_t seed) {
    int untaken = 0;
    for (const bool isTaken : taken) {
        untaken += isTaken ? 0 : 1;
    }
    if (untaken == 0) {
        return 0;
    }
    // splitmix64: a clock reading makes a poor index by itself.
    std::uint64_t mixed = seed + 0x9E3779B97F4A7C15ULL;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
    mixed ^= mixed >> 31;
    int left = static_cast<int>(mixed % static_cast<std::uint64_t>(untaken));
    for (int variant = 1; variant <= variantCount; ++variant) {
        if (!taken[variant - 1] && left-- == 0) {
            return variant;
        }
    }
    return 0;
}

int startVariant(int variant, const ExamServices& services) {
    ExamRecord record{};
    AnswerKey key{};
    if (loadAnswerKey(&record, &key) != 0) {
        return 1;
    }
    if (record.idNum < 1) {
        sayProblem("the exam in exam.dat has no student yet: run mock-midterm and give your ID first.");
        return 1;
    }
    std::error_code error;
    fs::create_directory(attemptsFolderName, error);
    if (!fs::is_directory(attemptsFolderName, error)) {
        sayProblem(std::string("cannot keep your attempt: ") + attemptsFolderName +
            " is not a folder that can be made here. Nothing was changed.");
        return 1;
    }
    // A temp of the README is a killed run's: the folder's lock keeps out any other.
    removeStaleTemps(attemptsReadmeName);
    bool taken[variantCount] = {};
    const std::map<int, std::string> kept = surveyAttempts(taken);
    if (variant == ownVariant) {
        variant = variantOfId(record.idNum);
    } else if (variant == randomVariant) {
        const int current = variantOfRecord(record);
        if (current > 0) {
            taken[current - 1] = true;
        }
        const auto now = std::chrono::system_clock::now().time_since_epoch().count();
        variant = pickUntakenVariant(taken, static_cast<std::uint64_t>(now));
        if (variant == 0) {
            sayProblem("all 200 variants have been taken in this folder: name one, such as "
                "'variant 1'. Nothing was changed.");
            return 1;
        }
    }

    const int number = kept.empty() ? 1 : kept.rbegin()->first + 1;
    if (keepAttempt(record, kept, number, variant) != 0) {
        return 1;
    }
    ExamRecord next = record;
    applyVariant(variant, &next);
    next.state = WriteText;  // the exam's next start writes the new text
    if (saveWorkspace(next) != 0) {
        sayProblem(std::string("cannot save exam.dat: ") + reasonOf(errno) +
            ". The exam was not changed; a copy of it is in attempts/" + std::to_string(number) +
            ".");
        return 1;
    }
    // Both describe the old exam, whose copies are kept; the next start of
    // the exam writes the text, and the plot is drawn here.
    std::remove(mockMidtermFileName);
    std::remove(plotName);
    plotQuestion1(next, services);

    std::printf("Your attempt at %s is kept in attempts/%d.\n", variantName(record).c_str(), number);
    std::printf("This folder now holds variant %d of %d: %s.\n", variant, variantCount,
                formatTransform(next.varQK, next.varQT).c_str());
    std::printf("Start mock-midterm to get its MOCK_MIDTERM.txt; q1.png shows its x(t).\n"
                "signals.c is as you left it.\n");
    if (!fs::exists(plotName, error)) {
        std::fflush(stdout);
        sayProblem(std::string(plotName) + " was not drawn: is gnuplot installed? q1plot.dat holds "
                                    "the signal's corners.");
    }
    return 0;
}

int repairPlotData(const ExamServices& services) {
    std::error_code error;
    if (!fs::is_regular_file(workspaceFileName, error) ||
        fs::symlink_status(plotDataFileName, error).type() == fs::file_type::not_found) {
        return 0;
    }
    ExamRecord record{};
    std::string found;
    if (loadWorkspace(&record) != 0 || !questionsAreMade(record) ||
        readWholeFile(plotDataFileName, &found, true) != 0) {
        return 0;
    }
    std::string expected;
    for (int i = 0; i < q1PointCount; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%d %d\n", record.q1T[i], record.q1X[i]);
        expected += line;
    }
    if (found == expected) {
        return 0;
    }
    sayProblem(std::string(plotDataFileName) + " does not match the exam in exam.dat: writing it and " +
        plotName + " again.");
    std::remove(plotName);
    plotQuestion1(record, services);
    return 1;
}
