// `mock-midterm-key report`: a whole class's exam folders graded in one run,
// on every core, into a gradebook CSV, each student's feedback and a summary.
//
// Each folder is graded by the key itself in a hidden worker mode
// (report_worker.h), run as `grade` runs its programs (its own process
// group, null input, a time limit), in a scratch folder of the report's own
// holding copies of the student's exam.dat and signals.c: the student's
// folder is only read, and the working folder, which a grading needs, is the
// worker's alone.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Gradings at once at most: the runs the command runner keeps track of.
constexpr int mostReportJobs = 64;

struct ReportOptions {
    std::vector<std::string> folders;  // where to look for exam folders
    std::string csvPath;               // "" for none
    std::string feedbackFolder;        // "" for none
    bool ownVariants = false;          // flag exams that are not the student's own variant
    bool gradeUnfenced = false;        // grade even where the fence lacks a part
    int jobs = 0;                      // gradings at once; 0: two per core
    int timeLimitSeconds = 5;          // as grade's --time-limit
    std::string program;               // the command that runs the key again
    std::string canvasCsvPath;         // the gradebook as Canvas imports it; "" for none
    std::string moodleCsvPath;         // the gradebook as Moodle imports it; "" for none
    std::string classPlotPath;         // class.png's path; "": beside the CSV
    bool classPlot = true;             // false: no class.png
};

// Runs the report. Returns 0 when it was made, 1 when no exam folder was
// found, 2 when a CSV or a feedback file could not be written or the
// scratch folder not made. Ctrl-C ends it once what was graded is written.
int runClassReport(const ReportOptions& options);

// The name of a student's feedback file: the folder with every character
// but letters, digits, '.', '-' and '_' as '_', then "-ID" and ".txt".
std::string feedbackFileName(const std::string& folder, long id, bool idKnown);

struct FolderResult;
// Grades the exam folder `folder` as the report grades each, through a
// worker in the scratch folder `work` (made, and removed again), which
// only copies of exam.dat and signals.c enter. The row's `folder` is
// `folder` as given.
FolderResult gradeExamFolder(const std::string& folder, const std::string& work, const ReportOptions& options);

// Runs `work` on `count` threads at once, this one among them, and returns
// once all have ended: the gradings' workers, each taking folders in turn.
void runOnThreads(unsigned count, const std::function<void()>& work);
