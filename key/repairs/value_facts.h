// Facts about a wrong function's values against the key, in the exam's own
// terms, for when neither an edit of the source nor the catalogue shows a
// cause: where its jumps and corners sit, the slope, a constant offset, a
// parabola where a line belongs. Facts about the function, never a guess.
#pragma once

#include <string>
#include <vector>

#include "key/mistakes/diagnosis.h"
#include "key/running/points.h"
#include "key/model/answer_key.h"

// The facts of the first piece of the key where the values differ, with
// `check` (a "Check: ..." line) under them; an empty diagnosis when the
// values are too few or too irregular to say anything exact.
Diagnosis valueFacts(char function, const Signal& expected, const std::vector<GradePoint>& points,
                     const std::vector<double>& values, const std::string& check);
