// gnuplot run on a plot script in the key's scratch folder.
#pragma once

#include "platform/services.h"

// How long gnuplot may take to draw key.png or check.png: well under a
// second is usual.
constexpr int plotTimeLimitSeconds = 20;

// Runs gnuplot on the scratch folder's plot script within
// plotTimeLimitSeconds, through the services' runCommandWithTimeLimit.
// Returns 0 when it drew `pngName`, -1 when it ran but drew nothing,
// otherwise gnuplot's status.
int drawScratchPlot(const ExamServices& services, const char* pngName);
