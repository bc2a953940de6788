#include "key/base/words.h"

#include <charconv>
#include <cmath>
#include <cstdio>

void sayProblem(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", keyProgramName, message.c_str());
}

int parseWholeNumber(std::string_view text, int smallest, int largest, int* number) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < smallest ||
        value > largest) {
        return -1;
    }
    *number = value;
    return 0;
}

std::string formatNumber(double value) {
    if (value == 0) {
        value = std::fabs(value);  // never "-0"
    }
    char buffer[40];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : "?";
}

std::string shortNumber(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (value == 0) {
        return "0";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

std::string joinWithAnd(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            text += i + 1 == parts.size() ? " and " : ", ";
        }
        text += parts[i];
    }
    return text;
}
