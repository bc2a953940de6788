#include "key/grading/harness.h"

#include <charconv>
#include <cmath>

#include "key/model/key_text.h"

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
    std::string source =
        "/* Written by " + std::string(keyProgramName) +
        " to run the answers in signals.c at the\n"
        "   grading times; removed again after grading. */\n"
        "#include <stdio.h>\n"
        "\n"
        "double x(double t);\n"
        "double y(double t);\n"
        "double z(double t);\n"
        "double r(double t);\n"
        "\n"
        "static const double gradingTimes[] = {\n";
    for (const GradePoint& point : points) {
        source += "    " + hexLiteral(point.t) + ",\n";
    }
    source +=
        "};\n"
        "\n"
        "int main(int argc, char **argv)\n"
        "{\n"
        "    double (*f)(double);\n"
        "    FILE *out;\n"
        "    int i;\n"
        "    const int count = (int)(sizeof gradingTimes / sizeof gradingTimes[0]);\n"
        "\n"
        "    if (argc != 3 || argv[1][0] == 0 || argv[1][1] != 0)\n"
        "        return 2;\n"
        "    switch (argv[1][0]) {\n"
        "    case 'x': f = x; break;\n"
        "    case 'y': f = y; break;\n"
        "    case 'z': f = z; break;\n"
        "    case 'r': f = r; break;\n"
        "    default: return 2;\n"
        "    }\n"
        "    out = fopen(argv[2], \"w\");\n"
        "    if (out == 0)\n"
        "        return 2;\n"
        "    for (i = 0; i < count; ++i) {\n"
        "        double value;\n"
        "        fprintf(out, \"%d\", i);\n"
        "        fflush(out);\n"
        "        value = f(gradingTimes[i]);\n"
        "        fprintf(out, \" %.17g\\n\", value);\n"
        "        fflush(out);\n"
        "    }\n"
        "    fprintf(out, \"end\\n\");\n"
        "    return fclose(out) == 0 ? 0 : 2;\n"
        "}\n";
    return source;
}
