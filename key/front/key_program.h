// mock-midterm-key, the second program beside the exam. Its rooms, lowest
// first, each using only those below it:
//   base/      scratch folders, the key's name and the words of its messages
//   model/     the key worked out from an exam's record, the record check,
//              the 200 variants, the key as text
//   reading/   the reading of signals.c, and the edits of it a repair tries
//   running/   the test program (harness.c), the grading times, the
//              student's code compiled and run in the fence, what a run wrote
//   mistakes/  the catalogue of the mistakes students make, known by values
//   repairs/   edits of the student's source compiled and run to find the
//              slip, and facts about a wrong function's values
//   judging/   the verdict of each answer, and an attempt graded as a whole
//   plots/     key.png, check.png and class.png drawn with gnuplot
//   variants/  a folder's exam replaced by a variant, its attempts kept
//   gradebook/ a class's rows: the gradebook CSVs (also Moodle's and
//              Canvas's), the summary and the flags worth a look
//   report/    a whole class's folders graded at once, a worker a folder,
//              class.png
//   progress/  a folder's kept attempts graded side by side, progress.png
//   front/     the commands and their command line (here)
#pragma once

constexpr int defaultTimeLimitSeconds = 5;

// Runs the program with its arguments and returns its exit status.
int runKeyProgram(int argc, const char* const* argv);
