// The answer key drawn: x, y and r as gnuplot draws them into key.png.
#pragma once

#include <cstdio>

#include "key/answer_key.h"

// Writes the signal's points from lo to hi, in order, as one gnuplot data
// set; a jump gives two points at one time, which gnuplot draws as the
// vertical edge q1.png has. Widens [*smallest, *largest] to their values.
void writeSignalSamples(std::FILE* out, const Signal& signal, double lo, double hi,
                        double* smallest, double* largest);

// Writes the gnuplot script and its data that draw x, y and r into the PNG
// file `pngName`, in the style of the kit's q1.gp.
// Returns 0, or -1 when a file could not be written (said on stderr).
int writeKeyPlot(const AnswerKey& key, const char* scriptName, const char* dataName,
                 const char* pngName);
