// Grading a practice attempt: the student's x, y, z and r from "signals.c"
// are compiled with a small test program of ours, run at many times, and
// compared with the answer key by value.
#pragma once

#include <string>
#include <vector>

#include "key/answer_key.h"
#include "key/scratch.h"
#include "platform/services.h"

// The student's value may differ from the key's by this much.
constexpr double gradeTolerance = 1e-9;

// A time at which the student's functions are run.
struct GradePoint {
    double t;
    double near;  // the breakpoint t lies beside, or t itself
    int side;     // -1 just before `near`, +1 just after it, 0 at it
};

// A grid from -4 to 10, every breakpoint of x, y and r with a point just
// before and just after it, in increasing order of time, each time once.
std::vector<GradePoint> gradingPoints(const AnswerKey& key);

// The C source of the test program. Run as "<program> f <results file>" with
// f one of x, y, z, r, it writes "i" and then " value" for point i, each
// flushed at once, so the file tells how far a run got that ended early;
// "end" follows the last point.
std::string harnessSource(const std::vector<GradePoint>& points);

// Judges one function from what its run wrote and the run's status (as
// runCommandWithTimeLimit gives it). Returns 1 when every value is right,
// 0 otherwise; *verdict is "right", or "wrong ..." as judgeRun (feedback.h)
// words it. At a jump either one-sided value is right at the jump itself.
int judgeFunction(const Signal& expected, const std::vector<GradePoint>& points,
                  const std::string& results, int status, int timeLimitSeconds,
                  std::string* verdict);

// Grades "signals.c" in the working folder and prints one line per question,
// a second naming a known mistake where one fits, and a total; then draws
// check.png with gnuplot and says whether it did. Its scratch files are in a
// scratch folder (key/scratch.h). Returns 0 when all four are right, 1 when
// any is wrong, 2 when it could not grade: no "signals.c" (or one that is no
// regular file), no compiler, a file that starts with a byte-order mark, a
// compile past the time limit, a file that does not compile (the compiler's
// messages are then on the console), or a folder where programs cannot run.
// The compiler and each function run through the services'
// runCommandWithTimeLimit with the given limit.
int gradeAttempt(const AnswerKey& key, const ExamServices& services, int timeLimitSeconds);
