// The command line of mock-midterm-key, the exam's answer key and grader.
#pragma once

#include "exam/record.h"
#include "key/answer_key.h"
#include "key/grade.h"

constexpr const char* keyPlotName = "key.png";
constexpr int defaultTimeLimitSeconds = 5;

// Reads "exam.dat" in the working folder and works out its answers.
// Returns 0, or -1 after saying on stderr why there is no key: no workspace,
// an unreadable or short one, an exam that has not made its questions, or a
// record no exam can hold.
int loadAnswerKey(ExamRecord* record, AnswerKey* key);

// Prints the key and draws it into "key.png" with gnuplot, run with a time
// limit through `runWithTimeLimit` (as runCommandWithTimeLimit). Returns 0,
// 1 when there is no key (see loadAnswerKey), 2 when the key was printed but
// "key.png" was not drawn.
int printAnswerKey(int (*runWithTimeLimit)(const char* commandLine, int seconds));

// Runs the program with its arguments and returns its exit status.
int runKeyProgram(int argc, const char* const* argv);
