// One attempt of an exam folder as progress grades it.
#pragma once

#include <string>

#include "key/gradebook/class_results.h"

constexpr const char* progressPlotName = "progress.png";

struct ProgressAttempt {
    std::string name;     // the kept attempt's number, or "now" for the current one
    std::string when;     // when it was kept, as attempts/README.txt notes it; "" for now
    FolderResult result;  // its grading, as the report grades a folder
};
