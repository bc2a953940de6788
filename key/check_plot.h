// check.png: the student's functions drawn over the key, one panel per
// question, so a wrong answer shows where it leaves the key.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/services.h"
#include "key/answer_key.h"
#include "key/grade.h"

constexpr const char* checkPlotName = "check.png";

struct CheckPanel {
    std::string title;                     // the question and its verdict
    const Signal* key;                     // what the answer should be
    double lo, hi;                         // the window the exam draws it in
    std::vector<double> values;            // the student's, one per point reached
    std::vector<std::size_t> wrongPoints;  // marked in red
    bool complete;                         // false: the run stopped at values.size()
};

// Writes the gnuplot script and its data that draw the panels into `pngName`.
// Returns 0, or -1 when a file could not be written.
int writeCheckPlot(const std::vector<GradePoint>& points, const std::vector<CheckPanel>& panels,
                   const char* scriptName, const char* dataName, const char* pngName);

// Draws check.png with gnuplot, run through the services'
// runCommandWithTimeLimit, from a script and data in the scratch folder
// (key/scratch.h), which must have been made. Returns 0 when check.png was drawn,
// otherwise the gnuplot status (127 when it was not found), or -1 when the
// script could not be written.
int drawCheckPlot(const std::vector<GradePoint>& points, const std::vector<CheckPanel>& panels,
                  const ExamServices& services);
