// The student's code built and run: the test program compiled with the copy
// of signals.c, each function run at the grading times, and the repairs'
// candidates compiled and run. Every compile and run of it goes through
// here, in the grading's scratch folder (key/base/scratch.h), inside the
// fence, through the services' runFenced.
#pragma once

#include <string>
#include <vector>

#include "key/running/points.h"
#include "platform/services.h"

// Puts the test program's source with the grading times, and a copy of
// signals.c (`source`, null when it could not be read), into the scratch
// folder, where the fenced compile reads them. Returns 0, -1 when the test
// program could not be written, -2 when signals.c could not be copied
// (errno then says why).
int writeStudentProgram(const std::vector<GradePoint>& points, const std::string* source);

// Compiles the test program with signals.c, its messages on the console.
// Returns how the compile went, as runFenced gives it.
RunResult compileStudentProgram(const ExamServices& services, int timeLimitSeconds);

// Runs the student's `function` ("x", "y", "z" or "r") at every grading
// time, its results file (harnessResultsName) removed first. Returns how
// the run went, as runFenced gives it.
RunResult runStudentFunction(const ExamServices& services, const char* function, int timeLimitSeconds);

// Runs a command line of the repairs' candidates, a compile or a run, with
// what it prints dropped: a candidate is ours, not the student's, and its
// compile's messages would read as if signals.c did not compile. Returns
// how it went, as runFenced gives it.
RunResult runCandidatesQuietly(const ExamServices& services, const std::string& commandLine, int seconds);
