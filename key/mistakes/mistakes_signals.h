// The mistakes of Questions 1 and 2, as candidates of the catalogue.
#pragma once

#include "key/mistakes/mistake_tools.h"

// x read off the plot: the pulse's sign, place and width, the triangle's
// peak, place and sides, and corners left to "otherwise".
void addMistakesOfX(const AnswerKey& key, Candidates* candidates);
// y = x(2t + k): the shift, its order and direction, the scaling, heights,
// slopes and the pulse's width; also tried for a z that repeats such a y.
void addMistakesOfY(const AnswerKey& key, Candidates* candidates);
