// The key's commands, each run once the command line has been read and the
// folder's lock and plot checked (key_program.h).
#pragma once

#include "platform/services.h"

// `grade`: grades signals.c against the key of exam.dat and draws check.png,
// with the key's curves when `showKey`. Returns 0 all right, 1 some wrong or
// no exam mock-midterm made, 2 could not grade.
int gradeCommand(const ExamServices& services, int timeLimitSeconds, bool showKey);

// `answers`: prints the key of exam.dat and draws it into "key.png" with
// gnuplot, run with a time limit through the services'
// runCommandWithTimeLimit. Returns 0, 1 when there is no key (see
// loadAnswerKey), 2 when the key was printed but "key.png" was not drawn.
int printAnswerKey(const ExamServices& services);

// `answers --variant N`: prints the key of variant N, without an exam
// folder. Returns 0, or 1 when it has none.
int printVariantKey(int variant);
