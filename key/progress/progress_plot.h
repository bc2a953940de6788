// progress.png: the score over a folder's attempts, and per question the
// attempts where it was right.
#pragma once

#include <vector>

#include "key/progress/progress_attempt.h"
#include "platform/services.h"

// Writes the gnuplot script and data. The data's first set has a line
// "attempt score" for each attempt graded (attempts counted from 1 in the
// order shown); the second "attempt question result colour", the result as
// the report counts it (1 right, 2 wrong, 3 crashed, 4 timed out, 0 not
// graded). Returns 0, or -1 when a file could not be written.
int writeProgressPlot(const std::vector<ProgressAttempt>& attempts, const char* scriptName,
                      const char* dataName, const char* pngName);

// Draws progress.png in the folder. Returns 0, or -1 after saying in one
// line on stderr why not.
int drawProgressPlot(const std::vector<ProgressAttempt>& attempts, const ExamServices& services);
