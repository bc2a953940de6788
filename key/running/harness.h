// The test program that runs the student's functions at the grading times.
#pragma once

#include <string>
#include <vector>

#include "key/running/points.h"

// The C source of the test program (running/harness.c) with the grading
// times written into it. Run as "<program> f <results file>" with f one of
// x, y, z, r, it writes "i" and then " value" for point i, each flushed at
// once, so the file tells how far a run got that ended early; "end" follows
// the last point. Each point runs twice over memory filled differently;
// " ~" after a value says the two values differed.
std::string harnessSource(const std::vector<GradePoint>& points);
