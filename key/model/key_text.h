// The answer key as text: numbers, polynomials and step sums written as C;
// and the key's own words, its name and how it says a problem.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "key/model/answer_key.h"
#include "record/record.h"

constexpr const char* keyProgramName = "mock-midterm-key";

// Says on stderr, after the program's name, why it stops.
void sayProblem(const std::string& message);

// Reads a whole number from `smallest` to `largest`, nothing before or after it.
// Returns 0 with it in *number, -1 otherwise.
int parseWholeNumber(std::string_view text, int smallest, int largest, int* number);

// The shortest text that reads back as the same number: "3", "-0.5", "1.5";
// never "-0".
std::string formatNumber(double value);

// A piece's polynomial as C: "-1.5*t*t + 6*t - 3", "3*t", "0".
std::string formatPolynomial(const Piece& piece);

// The terms as C with the kit's u(t):
// "6*(t+0.5)*u(t+0.5) - 12*t*u(t) - u(t-1)"; "0" for no terms.
std::string formatStepSum(const std::vector<StepTerm>& terms);

// Question 2's transform as the exam writes it: "y(t) = x(2t-1)".
std::string formatTransform(int scale, int shift);

// Writes the whole key: x, y and r piece by piece with inclusive operators,
// z as steps and ramps, and the bonus area.
void printAnswers(std::FILE* out, const ExamRecord& record, const AnswerKey& key);
