// What one run of the test program wrote, read back.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/run_result.h"

// The student's value may differ from the key's by this much.
constexpr double gradeTolerance = 1e-9;

// What one run of the test program wrote.
struct StudentRun {
    std::vector<double> values;  // one per point reached in order; NaN where no number was written
    bool complete = false;       // every point has a value and "end" followed
    RunResult status;            // how the run went, as runFenced returned it
    // How the test program saw it end early: the function called exit(), or
    // it faulted where its stack ran out.
    bool exited = false;
    bool stackOverflow = false;
    // The points whose two runs gave different values: the function reads
    // memory it never set.
    std::vector<std::size_t> unstable;
};

// Reads the results file of a run over `pointCount` points.
StudentRun readRun(const std::string& results, std::size_t pointCount, const RunResult& status);

// Whether a value is right where the key is `before` just before and
// `after` just after: at a jump either one-sided value is.
bool isRightValue(double value, double before, double after);
