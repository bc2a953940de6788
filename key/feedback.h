// What a grading tells the student: short numbers, the stretch of time where
// an answer goes wrong, how a run ended, and which known mistake it matches.
// Pure functions over the key and the values the student's functions gave.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "key/answer_key.h"
#include "key/grade.h"

// What one run of the test program wrote.
struct StudentRun {
    std::vector<double> values;  // one per point reached in order; NaN where no number was written
    bool complete = false;       // every point has a value and "end" followed
    int status = 0;              // as runCommandWithTimeLimit returned it
};

// Reads the results file of a run over `pointCount` points.
StudentRun readRun(const std::string& results, std::size_t pointCount, int status);

// At most 6 significant digits, as %g writes them: "3", "-0.25", "1e-06";
// never "-0" or "-nan".
std::string shortNumber(double value);

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

// Names the known mistake that gives exactly the student's values of
// `function` ('x', 'y', 'z' or 'r') at every point, in the exam's notation;
// "" when none does. `values` has one value per point.
std::string nameMistake(const AnswerKey& key, char function, const std::vector<GradePoint>& points,
                        const std::vector<double>& values);
