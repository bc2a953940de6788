// The answer key as text and as a plot.
#pragma once

#include <cstdio>
#include <string>

#include "exam/record.h"
#include "key/answer_key.h"

// The shortest text that reads back as the same number: "3", "-0.5", "1.5";
// never "-0".
std::string formatNumber(double value);

// A piece's polynomial as C: "-1.5*t*t + 6*t - 3", "3*t", "0".
std::string formatPolynomial(const Piece& piece);

// The terms as C with the kit's u(t):
// "6*(t+0.5)*u(t+0.5) - 12*t*u(t) - u(t-1)"; "0" for no terms.
std::string formatStepSum(const std::vector<StepTerm>& terms);

// Writes the whole key: x, y and r piece by piece with inclusive operators,
// z as steps and ramps, and the bonus area.
void printAnswers(std::FILE* out, const ExamRecord& record, const AnswerKey& key);

// Writes the gnuplot script and its data that draw x, y and r into the PNG
// file `pngName`, in the style of the kit's q1.gp.
// Returns 0, or -1 when a file could not be written (said on stderr).
int writeKeyPlot(const AnswerKey& key, const char* scriptName, const char* dataName,
                 const char* pngName);
