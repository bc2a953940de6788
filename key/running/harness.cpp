#include "key/running/harness.h"

#include <charconv>
#include <cmath>
#include <string_view>

// harnessText: running/harness.c, carried in the key as text.
#include "harness_text.h"

namespace {
// C's hexadecimal notation carries a double exactly, whatever the C
// library's decimal conversions do.
std::string hexLiteral(double value) {
    char buffer[40];
    const double magnitude = std::fabs(value);
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::hex);
    const std::string digits = error == std::errc{} ? std::string(buffer, end) : "0p+0";
    return (value < 0 ? "-0x" : "0x") + digits;
}
}  // namespace

std::string harnessSource(const std::vector<GradePoint>& points) {
    std::string times;
    for (const GradePoint& point : points) {
        times += "    " + hexLiteral(point.t) + ",\n";
    }
    // The times take the place of the line that includes them when the
    // program is built on its own.
    constexpr std::string_view timesLine = "#include \"grading_times.h\"\n";
    std::string source = harnessText;
    const std::size_t at = source.find(timesLine);
    if (at != std::string::npos) {
        source.replace(at, timesLine.size(), times);
    }
    return source;
}
