// The answer key drawn: x, y and r as gnuplot draws them into key.png.
#pragma once

#include <cstdio>

#include "key/model/answer_key.h"
#include "platform/services.h"
#include "record/exam_files.h"

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

// Draws key.png for the key with gnuplot, from a script and data in a
// scratch folder of its own; an old key.png goes first, so that it cannot
// pass for this exam's. Returns 0, or -1 after saying on stderr why it was
// not drawn.
int drawKeyPlot(const AnswerKey& key, const ExamServices& services);
