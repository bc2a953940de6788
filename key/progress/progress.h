// `mock-midterm-key progress`: every attempt an exam folder has kept, and
// the current one, graded side by side, so a student sees which questions
// came right over the attempts and which mistakes keep coming back.
//
// Each attempt is graded as the class report grades a folder: by the key's
// report worker, fenced as grade is, in a scratch folder holding copies of
// that attempt's exam.dat and signals.c, all of them at once on every
// core. Nothing is written into attempts/; the current folder gets
// progress.png alone.
#pragma once

#include <string>
#include <vector>

#include "key/progress/progress_attempt.h"

// The line an attempt gets: "attempt 2, kept 2026-03-02 18:40, variant 37:
// 3 of 4 (Q1 right, Q2 wrong, Q3 right, Q4 right)", or why it was not graded.
std::string attemptLine(const ProgressAttempt& attempt);

// The mistakes named in more than one attempt, one line each: "Question 2,
// in attempts 1, 2 and now: your y(t) is x(2t-1), moved the wrong way".
std::vector<std::string> repeatedMistakes(const std::vector<ProgressAttempt>& attempts);

// Grades the attempts and prints their lines, the mistakes that came back
// and draws progress.png. `program` runs the key again for the workers.
// Returns 0 when shown, 1 when the folder has no exam and no kept attempt,
// 2 when the scratch folder could not be made.
int runProgress(int timeLimitSeconds, const std::string& program);
