// mock-midterm-key, the second program beside the exam. Its rooms, lowest
// first, each using only those below it:
//   model/     the key worked out from an exam's record, the record check,
//              the 200 variants, the key as text
//   grading/   the scratch folder, the test program and its runs, verdicts,
//              the mistake catalogue
//   plots/     key.png and check.png drawn with gnuplot
//   variants/  a folder's exam replaced by a variant, its attempts kept
//   report/    a whole class's folders graded at once: gradebook, summary,
//              class.png
//   progress/  a folder's kept attempts graded side by side, progress.png
//   front/     the commands and their command line (here)
#pragma once

constexpr int defaultTimeLimitSeconds = 5;

// Runs the program with its arguments and returns its exit status.
int runKeyProgram(int argc, const char* const* argv);
