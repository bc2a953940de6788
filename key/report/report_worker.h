// The report's worker: `mock-midterm-key --report-worker FOLDER`, run by the
// report (class_report.h) once a student's folder, in a scratch folder of
// the report's holding copies of the student's exam.dat and signals.c. It
// grades them as grade does and leaves what it found there for the report.
#pragma once

// What the worker's folder holds beside the copies of exam.dat and signals.c.
constexpr const char* workerFeedbackName = "feedback.txt";  // all the worker printed
constexpr const char* workerOutcomeName = "outcome.txt";    // its row, as encodeOutcome writes it

// Grades the copies in `folder` as grade does, without check.png, with what
// it prints in folder/feedback.txt and its results in folder/outcome.txt.
// Returns 0 when outcome.txt was written, 2 otherwise.
int runReportWorker(const char* folder, int timeLimitSeconds);
