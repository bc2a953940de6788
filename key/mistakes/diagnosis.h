// A named mistake as data: the kind a class's results are counted by, and
// the text the student reads; and what the catalogue is told besides the
// values.
#pragma once

#include <string>
#include <vector>

#include "key/reading/source_scan.h"

// A named mistake, kept as data so that a class's results can be counted by
// kind. An empty kind means no known mistake fits.
struct Diagnosis {
    std::string kind;  // "y.shift-not-halved", "r.half-forgotten", "c.integer-division", ...
    std::string text;  // one or two lines (split by '\n'): what, why, and "Check: ..."
};

// What a diagnosis's text says first, the slip without its reason: "your
// y(t) is x(2t-1)" of "your y(t) is x(2t-1): in x(2t+1) ...".
std::string diagnosisHeadline(const std::string& text);

// Kind of a diagnosis that two different mistakes fit: neither is certain.
constexpr const char* uncertainKind = "uncertain";

// What else the grader knows besides the function's own values.
struct MistakeClues {
    const FunctionFacts* source = nullptr;          // the function as written, when it was read
    const std::vector<double>* wrongY = nullptr;    // the student's y, when y is wrong (for z)
};
