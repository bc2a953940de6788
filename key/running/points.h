// The times at which a grading runs the student's functions.
#pragma once

#include <vector>

#include "key/model/answer_key.h"

// The grid the functions are run on, from gridStart to gridEnd in steps of
// gridStep, exact in binary.
constexpr int gridStart = -4;
constexpr int gridEnd = 10;
constexpr int gridStepsPerUnit = 64;
constexpr double gridStep = 1.0 / gridStepsPerUnit;

// A time at which the student's functions are run.
struct GradePoint {
    double t;
    double near;  // the breakpoint t lies beside, or t itself
    int side;     // -1 just before `near`, +1 just after it, 0 at it
};

// The grid, every breakpoint of x, y and r with a point just before and just
// after it, in increasing order of time, each time once.
std::vector<GradePoint> gradingPoints(const AnswerKey& key);
