// The answer key drawn: x, y and r as gnuplot draws them into key.png.
#pragma once

#include "key/answer_key.h"

// Writes the gnuplot script and its data that draw x, y and r into the PNG
// file `pngName`, in the style of the kit's q1.gp.
// Returns 0, or -1 when a file could not be written (said on stderr).
int writeKeyPlot(const AnswerKey& key, const char* scriptName, const char* dataName,
                 const char* pngName);
