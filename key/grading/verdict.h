// What a grading tells the student of one answer: short numbers, the stretch
// of time where it goes wrong, how its run ended. Pure functions over the
// key and the values the student's functions gave.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "key/grading/points.h"
#include "key/grading/results.h"
#include "key/model/answer_key.h"

// At most 6 significant digits, as %g writes them: "3", "-0.25", "1e-06";
// never "-0" or "-nan".
std::string shortNumber(double value);

// "a", "a and b", "a, b and c".
std::string joinWithAnd(const std::vector<std::string>& parts);

// The times where the signal's pieces meet, in order.
std::vector<double> breakpointsOf(const Signal& signal);

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
