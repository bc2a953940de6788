// What a grading tells the student of one answer: short numbers, the stretch
// of time where it goes wrong, how its run ended. Pure functions over the
// key and the values the student's functions gave.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "key/running/points.h"
#include "key/running/results.h"
#include "key/base/words.h"
#include "key/model/answer_key.h"

struct Verdict {
    int right = 0;                         // 1 when every value is right
    std::string text;                      // "right", or "wrong ..." saying where and how
    std::vector<std::size_t> wrongPoints;  // the points whose values are wrong
};

// Judges one function. A wrong answer names the key's interval where it is
// wrong with its worst grid time, or the corner it misses; a run that ended
// early says how. At a jump either one-sided value is right.
Verdict judgeRun(const Signal& expected, const std::vector<GradePoint>& points,
                 const StudentRun& run, int timeLimitSeconds);
