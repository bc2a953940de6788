#include "key/report/class_report.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "key/base/scratch.h"
#include "key/base/words.h"
#include "key/report/class_folders.h"
#include "key/report/class_picture.h"
#include "key/gradebook/class_results.h"
#include "key/report/report_worker.h"
#include "platform/fence.h"
#include "platform/platform.h"
#include "record/workspace.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* reportFolderPrefix = ".key-report.";
// Larger than any answer file; a bigger one is not read into memory.
constexpr std::uintmax_t largestSource = 1 << 20;
// exam.dat is 144 bytes; more is read only to tell its size.
constexpr std::size_t largestWorkspaceRead = 1 << 16;
// A worker compiles, runs four functions, each within the time limit, and
// needs a little more for itself.
constexpr int workerRuns = 5;
constexpr int workerOverheadSeconds = 10;
constexpr unsigned gradingsPerCore = 2;
constexpr std::size_t longestFeedbackStem = 160;


// Reads a file of the student's without waiting on it: a pipe, a device or a
// folder at the name is refused before it is opened. Returns "" when it was
// read, otherwise why not.
std::string readStudentFile(const fs::path& path, std::uintmax_t largest, std::string* content) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    const std::string name = utf8Path(path.filename());
    if (status.type() == fs::file_type::not_found) {
        return "no " + name;
    }
    if (status.type() == fs::file_type::symlink) {
        return name + " is a link, not followed";  // it could name any file of the instructor's
    }
    if (status.type() != fs::file_type::regular) {
        return name + " is no regular file";
    }
    const std::uintmax_t size = fs::file_size(path, error);
    if (!error && size > largest) {
        return name + " is larger than " + std::to_string(largest >> 10) + " KB";
    }
    std::ifstream file(path, std::ios::binary);
    content->clear();
    char buffer[1 << 14];
    while (file && content->size() <= largest) {
        file.read(buffer, sizeof buffer);
        content->append(buffer, static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad() || (!file.eof() && content->size() <= largest)) {
        return "cannot read " + name;
    }
    content->resize(std::min<std::size_t>(content->size(), largest));
    return "";
}

// Copies exam.dat and signals.c into the worker's folder. Returns "" or the
// status of a folder that cannot be graded; *sourceProblem says what kept
// signals.c from being copied.
std::string copyAttempt(const fs::path& folder, const std::string& work, FolderResult* row,
                        std::string* sourceProblem) {
    const FileOps files = scratchFileOps();
    std::string bytes;
    std::string problem = readStudentFile(folder / workspaceFileName, largestWorkspaceRead, &bytes);
    if (!problem.empty()) {
        return problem;
    }
    if (replaceFileWith((work + "/" + workspaceFileName).c_str(), bytes.data(), bytes.size(), files) != 0) {
        return std::string("cannot copy exam.dat: ") + std::strerror(errno);
    }
    *sourceProblem = readStudentFile(folder / studentSourceName, largestSource, &bytes);
    if (sourceProblem->empty()) {
        row->sourceRead = true;
        row->sourceHash = contentHash(bytes);
        if (replaceFileWith((work + "/" + studentSourceName).c_str(), bytes.data(), bytes.size(), files) != 0) {
            return std::string("cannot copy signals.c: ") + std::strerror(errno);
        }
    }
    return "";
}

// "\\tmp\\.key-report.abc123\\17": the command lines are written for Windows,
// and read a quoted word whole.
std::string commandPath(const std::string& path) {
    std::string line = path;
    std::replace(line.begin(), line.end(), '/', '\\');
    return line.find_first_of(" \t") != std::string::npos ? "\"" + line + "\"" : line;
}

FolderResult gradeFolder(const fs::path& folder, const std::string& work, const ReportOptions& options) {
    FolderResult row;
    row.folder = utf8Path(folder);
    std::error_code error;
    fs::create_directory(work, error);
    std::string sourceProblem;
    row.status = error ? "cannot make a scratch folder: " + error.message()
                       : copyAttempt(folder, work, &row, &sourceProblem);
    if (!row.status.empty()) {
        row.feedback = std::string(keyProgramName) + ": cannot grade: " + row.status + ".\n";
        fs::remove_all(work, error);
        return row;
    }
    const std::string line = options.program + " --report-worker " + commandPath(work) +
                             " --time-limit " + std::to_string(options.timeLimitSeconds);
    const RunResult status = runCommandWithTimeLimit(
        line.c_str(), options.timeLimitSeconds * workerRuns + workerOverheadSeconds);
    std::string outcome;
    if (readWholeFile((work + "/" + workerOutcomeName).c_str(), &outcome, true) != 0 ||
        decodeOutcome(outcome, &row) != 0) {
        row.status = status.timedOut ? "the grading did not end in time"
                                     : "the grading stopped (status " + std::to_string(shellStatus(status)) + ")";
    }
    if (row.status == "no signals.c" && !sourceProblem.empty()) {
        row.status = sourceProblem;
    }
    readWholeFile((work + "/" + workerFeedbackName).c_str(), &row.feedback, true);
    fs::remove_all(work, error);
    return row;
}

// Shows "graded 120 of 300" on a terminal, over itself.
class Progress {
public:
    explicit Progress(std::size_t total) : total_(total), shown_(errorOutputIsTerminal()) {}
    void oneMore() {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        if (shown_) {
            std::fprintf(stderr, "\rgraded %zu of %zu", done_, total_);
            std::fflush(stderr);
        }
    }
    void end() {
        if (shown_ && done_ > 0) {
            std::fprintf(stderr, "\n");
        }
    }

private:
    std::mutex mutex_;
    std::size_t total_;
    std::size_t done_ = 0;
    bool shown_;
};

// Grades every folder, `jobs` at once, each row in its folder's place; stops
// taking folders once an interrupt came. Returns the rows graded, in order.
std::vector<FolderResult> gradeAll(const std::vector<fs::path>& folders, const std::string& root,
                                   const ReportOptions& options) {
    std::vector<FolderResult> rows(folders.size());
    std::vector<char> done(folders.size(), 0);
    std::atomic<std::size_t> next{0};
    Progress progress(folders.size());
    // A grading waits on its programs about half its time, so two per core
    // keep every core busy.
    unsigned jobs = options.jobs > 0 ? static_cast<unsigned>(options.jobs)
                                     : gradingsPerCore * std::thread::hardware_concurrency();
    jobs = std::clamp(jobs, 1u, static_cast<unsigned>(std::min<std::size_t>(mostReportJobs, folders.size())));
    auto work = [&]() {
        for (std::size_t i = next++; i < folders.size() && interruptRequested() == 0; i = next++) {
            rows[i] = gradeFolder(folders[i], root + "/" + std::to_string(i), options);
            // A worker ended by the interrupt has no row worth keeping.
            done[i] = static_cast<char>(interruptRequested() == 0 || rows[i].status == gradedStatus ? 1 : 0);
            progress.oneMore();
        }
    };
    runOnThreads(jobs, work);
    progress.end();
    std::vector<FolderResult> kept;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (done[i] != 0) {
            kept.push_back(std::move(rows[i]));
        }
    }
    return kept;
}

// Writes each student's feedback into the folder. Returns 0, or -1 after
// saying which could not be written.
int writeFeedback(const std::vector<FolderResult>& rows, const std::string& folder) {
    std::set<std::string> taken;
    int result = 0;
    for (const FolderResult& row : rows) {
        std::string name = feedbackFileName(row.folder, row.id, row.examRead);
        for (int n = 2; !taken.insert(name).second; ++n) {
            name = feedbackFileName(row.folder + "-" + std::to_string(n), row.id, row.examRead);
        }
        std::string path = folder;
        path += "/";
        path += name;
        if (replaceFileWith(path.c_str(), row.feedback.data(), row.feedback.size(), platformFileOps(),
                            true) != 0) {
            sayProblem("cannot write " + path + ": " + std::strerror(errno));
            result = -1;
        }
    }
    return result;
}

int writeOutputs(const std::vector<FolderResult>& rows, const ReportOptions& options) {
    int status = 0;
    if (!options.feedbackFolder.empty()) {
        std::error_code error;
        fs::create_directories(options.feedbackFolder, error);
        if (error || writeFeedback(rows, options.feedbackFolder) != 0) {
            if (error) {
                sayProblem("cannot make " + options.feedbackFolder + ": " + error.message());
            }
            status = 2;
        }
    }
    const struct {
        const std::string& path;
        std::string (*table)(const std::vector<FolderResult>&);
    } tables[] = {{options.csvPath, classCsv},
                     {options.canvasCsvPath, canvasCsv},
                     {options.moodleCsvPath, moodleCsv}};
    for (const auto& table : tables) {
        const std::string csv = table.path.empty() ? "" : table.table(rows);
        if (!table.path.empty() &&
            replaceFileWith(table.path.c_str(), csv.data(), csv.size(), platformFileOps()) != 0) {
            sayProblem("cannot write " + table.path + ": " + std::strerror(errno));
            status = 2;
        }
    }
    return status;
}
}  // namespace

std::string feedbackFileName(const std::string& folder, long id, bool idKnown) {
    std::string name;
    for (const char c : folder) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-' || c == '_';
        name += plain ? c : '_';
    }
    // No name starts with a dot, which hides it, or is only dots.
    name.erase(0, name.find_first_not_of("._"));
    if (name.empty()) {
        name = "folder";
    }
    // Well within every file system's 255 bytes; both ends kept, where a
    // download puts the student's name and the "-2" of a second one.
    if (name.size() > longestFeedbackStem) {
        name.replace(longestFeedbackStem / 2, name.size() - longestFeedbackStem + 1, "~");
    }
    if (idKnown) {
        name += '-';
        name += std::to_string(id);
    }
    return name + ".txt";
}

void runOnThreads(unsigned count, const std::function<void()>& work) {
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < count; ++j) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

int runClassReport(const ReportOptions& options) {
    if (options.program.empty()) {
        sayProblem("cannot tell how to run this program again for the gradings.");
        return 2;
    }
    std::vector<fs::path> roots(options.folders.begin(), options.folders.end());
    std::vector<std::string> problems;
    const std::vector<fs::path> folders = findExamFolders(roots, &problems);
    for (const std::string& problem : problems) {
        sayProblem(problem);
    }
    if (folders.empty()) {
        sayProblem("no exam folder (a folder holding exam.dat) was found there.");
        return 1;
    }
    const std::string unfenced = fenceGapsText(fenceGaps());
    if (!unfenced.empty() && !options.gradeUnfenced) {
        sayProblem("this system cannot fence the students' programs: " + unfenced +
                   ". Grade the class on a system that can, or give --grade-unfenced to grade it "
                   "all the same, with your rights.");
        return 2;
    }
    char root[4096];
    if (makePrivateFolder(reportFolderPrefix, root, sizeof root) != 0) {
        sayProblem(std::string("cannot make a scratch folder: ") + std::strerror(errno) + ".");
        return 2;
    }
    // The terminal is learnt once, here, before the gradings' threads lend it.
    lendConsole();
    reclaimConsole();
    deferInterrupts();
    std::vector<FolderResult> rows = gradeAll(folders, root, options);
    std::error_code error;
    fs::remove_all(root, error);
    const std::vector<std::string> findings = flagFolders(&rows, options.ownVariants);
    const int status = writeOutputs(rows, options);
    std::fputs(classSummary(rows, findings).c_str(), stdout);
    if (!unfenced.empty()) {
        std::printf("\nGraded unfenced: %s.\n", unfenced.c_str());
    }
    const std::string plotPath = classPlotPath(options.classPlotPath, options.csvPath);
    if (options.classPlot && !plotPath.empty() && interruptRequested() == 0) {
        drawClassPicture(rows, plotPath);
    }
    if (interruptRequested() != 0) {
        std::printf("\nInterrupted: %zu of %zu folders graded; the rest are left out.\n", rows.size(),
                    folders.size());
        std::fflush(stdout);
        endAsInterrupted();
    }
    return status;
}

FolderResult gradeExamFolder(const std::string& folder, const std::string& work, const ReportOptions& options) {
    return gradeFolder(folder, work, options);
}
