// The answer key as text: polynomials and step sums written as C, the
// transform as the exam writes it, and the whole key printed.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "key/base/words.h"
#include "key/model/answer_key.h"
#include "record/record.h"

// A piece's polynomial as C: "-1.5*t*t + 6*t - 3", "3*t", "0".
std::string formatPolynomial(const Piece& piece);

// The terms as C with the kit's u(t):
// "6*(t+0.5)*u(t+0.5) - 12*t*u(t) - u(t-1)"; "0" for no terms.
std::string formatStepSum(const std::vector<StepTerm>& terms);


// Writes the whole key: x, y and r piece by piece with inclusive operators,
// z as steps and ramps, and the bonus area.
void printAnswers(std::FILE* out, const ExamRecord& record, const AnswerKey& key);
