// check.png: the student's functions, one panel per question, marked where
// they are wrong and titled with why; the key's curves on request.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "key/judging/grade.h"
#include "key/running/points.h"
#include "platform/services.h"
#include "record/exam_files.h"

// Writes the gnuplot script and its data that draw one panel per question
// into `pngName`: the student's function, the wrong points in red, values
// beyond the panel marked at its edge with their value, and the key's curve
// only when `showKey`, so that a first look gives hints and not the answer.
// Returns 0, or -1 when a file could not be written.
int writeCheckPlot(const std::vector<GradePoint>& points, const std::vector<GradedQuestion>& panels,
                   const char* scriptName, const char* dataName, const char* pngName, bool showKey);

// Draws check.png with gnuplot, run through the services'
// runCommandWithTimeLimit, from a script and data in a scratch folder of its
// own, and says on stdout whether it did. Returns 0 when check.png was
// drawn, -1 when not.
int drawCheckPlot(const GradedAttempt& graded, const ExamServices& services, bool showKey);
