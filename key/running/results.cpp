#include "key/running/results.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
}  // namespace

StudentRun readRun(const std::string& results, std::size_t pointCount, const RunResult& status) {
    StudentRun run;
    run.status = status;
    std::size_t start = 0;
    while (start < results.size()) {
        std::size_t end = results.find('\n', start);
        if (end == std::string::npos) {
            end = results.size();
        }
        std::string line = results.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == "end") {
            run.complete = run.values.size() == pointCount;
            break;
        }
        const std::size_t space = line.find(' ');
        unsigned long index = 0;
        const char* last = line.data() + (space == std::string::npos ? line.size() : space);
        const auto [stop, error] = std::from_chars(line.data(), last, index);
        if (error != std::errc{} || stop != last || index != run.values.size() ||
            run.values.size() >= pointCount || space == std::string::npos) {
            break;  // the run ended while working on this point
        }
        const char* text = line.data() + space + 1;
        const char* textEnd = line.data() + line.size();
        if (textEnd - text > 2 && std::string_view(textEnd - 2, 2) == " ~") {
            run.unstable.push_back(run.values.size());
            textEnd -= 2;
        }
        run.exited = std::string_view(text, textEnd - text) == "exit";
        run.stackOverflow = std::string_view(text, textEnd - text) == "stack";
        if (run.exited || run.stackOverflow) {
            break;
        }
        double value = 0;
        const auto [valueEnd, valueError] = std::from_chars(text, textEnd, value);
        run.values.push_back(valueError == std::errc{} && valueEnd == textEnd ? value : notANumber);
    }
    return run;
}

bool isRightValue(double value, double before, double after) {
    return std::isfinite(value) &&
           (std::fabs(value - before) <= gradeTolerance || std::fabs(value - after) <= gradeTolerance);
}
