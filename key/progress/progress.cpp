#include "key/progress/progress.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

#include "key/base/words.h"
#include "key/judging/grade.h"
#include "key/mistakes/diagnosis.h"
#include "key/progress/progress_plot.h"
#include "key/report/class_report.h"
#include "key/variants/attempts.h"
#include "platform/fence.h"
#include "platform/platform.h"
#include "record/workspace.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* progressFolderPrefix = ".key-progress.";
constexpr const char* currentName = "now";
// A grading waits on its programs about half its time.
constexpr unsigned gradingsPerCore = 2;

// When each kept attempt was kept, by number, from the lines of
// attempts/README.txt: "3  variant 17 (...), kept 2026-03-02 18:40; then ...".
std::map<int, std::string> keptTimes() {
    std::string readme;
    std::map<int, std::string> times;
    if (readWholeFile(attemptsReadmeName, &readme, true) != 0) {
        return times;
    }
    const std::string kept = ", kept ";
    for (std::size_t start = 0; start < readme.size();) {
        const std::size_t end = std::min(readme.find('\n', start), readme.size());
        const std::string line = readme.substr(start, end - start);
        start = end + 1;
        int number = 0;
        const std::size_t at = line.find(kept);
        if (at == std::string::npos || parseWholeNumber(line.substr(0, line.find(' ')), 1, INT_MAX, &number) != 0) {
            continue;
        }
        const std::string when = line.substr(at + kept.size());
        times[number] = when.substr(0, when.find(';'));
    }
    return times;
}

// The kept attempts, by number, then the current exam when there is one.
// Only read: a gathering that a stopped `variant` left is passed over.
std::vector<ProgressAttempt> findAttempts(std::vector<std::string>* folders) {
    std::map<int, std::string> found;
    std::error_code error;
    for (fs::directory_iterator entry(attemptsFolderName, error); entry != fs::directory_iterator();
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const int number = attemptNumberOf(name);
        if (number != 0 && entry->symlink_status(error).type() == fs::file_type::directory) {
            found[number] = entry->path().generic_string();
        }
    }
    const std::map<int, std::string> times = keptTimes();
    std::vector<ProgressAttempt> attempts;
    for (const auto& [number, folder] : found) {
        ProgressAttempt attempt;
        attempt.name = std::to_string(number);
        const auto time = times.find(number);
        attempt.when = time != times.end() ? time->second : "at a time not noted";
        attempts.push_back(attempt);
        folders->push_back(folder);
    }
    if (fs::symlink_status(workspaceFileName, error).type() != fs::file_type::not_found) {
        attempts.push_back(ProgressAttempt{currentName, "", {}});
        folders->emplace_back(".");
    }
    return attempts;
}

// Grades every attempt at once, two per core, each in its own place.
void gradeAttempts(std::vector<ProgressAttempt>* attempts, const std::vector<std::string>& folders,
                   const std::string& root, const ReportOptions& options) {
    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        for (std::size_t i = next++; i < folders.size() && interruptRequested() == 0; i = next++) {
            (*attempts)[i].result = gradeExamFolder(folders[i], root + "/" + std::to_string(i), options);
        }
    };
    const unsigned jobs = std::clamp(gradingsPerCore * std::thread::hardware_concurrency(), 1u,
                                     static_cast<unsigned>(std::min<std::size_t>(mostReportJobs, folders.size())));
    runOnThreads(jobs, work);
}
}  // namespace

std::string attemptLine(const ProgressAttempt& attempt) {
    const FolderResult& result = attempt.result;
    std::string line = attempt.name == currentName ? "now" : "attempt " + attempt.name + ", kept " + attempt.when;
    if (result.examRead) {
        line += result.variant > 0 ? ", variant " + std::to_string(result.variant)
                                   : ", an exam of none of the variants";
    }
    if (result.status != gradedStatus) {
        return line + ": not graded: " + result.status;
    }
    line += ": " + std::to_string(result.score) + " of " + std::to_string(questionCount) + " (";
    for (int question = 0; question < questionCount; ++question) {
        line += (question > 0 ? ", Q" : "Q") + std::to_string(question + 1) + " " +
                answerResultText(result.answers[question]);
    }
    return line + ")";
}

std::vector<std::string> repeatedMistakes(const std::vector<ProgressAttempt>& attempts) {
    // By question and kind (a mistake of no kind by its words): the attempts, and the latest words.
    std::map<std::pair<int, std::string>, std::pair<std::vector<std::string>, std::string>> seen;
    for (const ProgressAttempt& attempt : attempts) {
        for (int question = 0; question < questionCount; ++question) {
            const std::string& mistake = attempt.result.mistakes[question];
            const int answer = attempt.result.answers[question];
            if (mistake.empty() || answer == answerRight || answer == notGraded) {
                continue;
            }
            const std::string& kind = attempt.result.mistakeKinds[question];
            const std::string words = diagnosisHeadline(mistake);
            auto& entry = seen[{question, kind.empty() || kind == "uncertain" ? "text:" + words : kind}];
            entry.first.push_back(attempt.name);
            entry.second = words;
        }
    }
    std::vector<std::string> lines;
    for (const auto& [key, entry] : seen) {
        if (entry.first.size() > 1) {
            lines.push_back("Question " + std::to_string(key.first + 1) + ", in attempts " + joinWithAnd(entry.first) +
                            ": " + entry.second);
        }
    }
    return lines;
}

int runProgress(int timeLimitSeconds, const std::string& program) {
    std::vector<std::string> folders;
    std::vector<ProgressAttempt> attempts = findAttempts(&folders);
    if (attempts.empty()) {
        sayProblem("there is no exam here to show the progress of: no exam.dat, and no attempt "
                   "kept in attempts/.");
        return 1;
    }
    char root[4096];
    if (makePrivateFolder(progressFolderPrefix, root, sizeof root) != 0) {
        sayProblem(std::string("cannot make a scratch folder: ") + std::strerror(errno) + ".");
        return 2;
    }
    sayWhatTheFenceLacks();
    ReportOptions options;
    options.timeLimitSeconds = timeLimitSeconds;
    options.program = program;
    // The terminal is learnt once, here, before the gradings' threads lend it.
    lendConsole();
    reclaimConsole();
    deferInterrupts();
    gradeAttempts(&attempts, folders, root, options);
    std::error_code error;
    fs::remove_all(root, error);
    if (interruptRequested() != 0) {
        endAsInterrupted();
    }
    for (const ProgressAttempt& attempt : attempts) {
        std::printf("%s\n", attemptLine(attempt).c_str());
    }
    const std::vector<std::string> repeated = repeatedMistakes(attempts);
    std::printf(repeated.empty() ? "\nNo mistake came back in a later attempt.\n"
                                 : "\nMistakes that came back:\n");
    for (const std::string& line : repeated) {
        std::printf("  %s\n", line.c_str());
    }
    if (drawProgressPlot(attempts, platformServices()) == 0) {
        std::printf("\nYour attempts are drawn in %s.\n", progressPlotName);
    }
    return 0;
}
