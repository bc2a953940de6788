// key/, the second program beside the exam: the answer key worked out
// (answer_key.h), grading (grade.h), the key as text and plot (key_text.h,
// key_plot.h), and here its command line.
#pragma once

#include <string>
#include <string_view>

#include "key/answer_key.h"
#include "key/grade.h"
#include "record/record.h"

constexpr const char* keyPlotName = "key.png";
constexpr int defaultTimeLimitSeconds = 5;

// What loadAnswerKey returns for a record that no exam can hold.
constexpr int notAnExam = -2;

// Reads "exam.dat" in the working folder and works out its answers.
// Returns 0, or after saying on stderr why there is no key: notAnExam for a
// record no exam can hold, -1 for no workspace, an unreadable or short one,
// or an exam that has not made its questions.
int loadAnswerKey(ExamRecord* record, AnswerKey* key);

// Prints the key and draws it into "key.png" with gnuplot, run with a time
// limit through `runWithTimeLimit` (as runCommandWithTimeLimit). Returns 0,
// 1 when there is no key (see loadAnswerKey), 2 when the key was printed but
// "key.png" was not drawn.
int printAnswerKey(const ExamServices& services);

// Says on stderr, after the program's name, why it stops.
void sayProblem(const std::string& message);

// Reads a whole number from `smallest` to `largest`, nothing before or after it.
// Returns 0 with it in *number, -1 otherwise.
int parseWholeNumber(std::string_view text, int smallest, int largest, int* number);

// Runs the program with its arguments and returns its exit status.
int runKeyProgram(int argc, const char* const* argv);
