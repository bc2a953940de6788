// What every command of the key shares: its name, how it says a problem,
// and the short texts of numbers and lists that its messages are made of.
#pragma once

#include <string>
#include <string_view>
#include <vector>

constexpr const char* keyProgramName = "mock-midterm-key";

// Says on stderr, after the program's name, why it stops.
void sayProblem(const std::string& message);

// Reads a whole number from `smallest` to `largest`, nothing before or after it.
// Returns 0 with it in *number, -1 otherwise.
int parseWholeNumber(std::string_view text, int smallest, int largest, int* number);

// The shortest text that reads back as the same number: "3", "-0.5", "1.5";
// never "-0".
std::string formatNumber(double value);

// At most 6 significant digits, as %g writes them: "3", "-0.25", "1e-06";
// never "-0" or "-nan".
std::string shortNumber(double value);

// "a", "a and b", "a, b and c".
std::string joinWithAnd(const std::vector<std::string>& parts);
