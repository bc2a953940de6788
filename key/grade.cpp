#include "key/grade.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "check/check.h"
#include "generate/text_file.h"
#include "key/check_plot.h"
#include "key/feedback.h"
#include "key/key_text.h"
#include "key/scratch.h"
#include "platform/platform.h"

namespace {
constexpr int gridStart = -4;
constexpr int gridEnd = 10;
constexpr int gridStepsPerUnit = 64;
// Near enough to a breakpoint to see the piece on either side of it, and a
// power of two, so the times stay exact.
constexpr double besideDistance = 1.0 / 1048576;

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

void sayCannotGrade(const std::string& reason) {
    std::fflush(stdout);
    std::fprintf(stderr, "mock-midterm-key: cannot grade: %s\n", reason.c_str());
}

const char* const notRunnableHere =
    "this folder does not let programs run (a drive mounted noexec?), so the grading "
    "program cannot run here. Copy the exam folder to your home folder and grade it there.";
}  // namespace

std::vector<GradePoint> gradingPoints(const AnswerKey& key) {
    std::vector<GradePoint> points;
    for (int i = 0; i <= (gridEnd - gridStart) * gridStepsPerUnit; ++i) {
        const double t = gridStart + static_cast<double>(i) / gridStepsPerUnit;
        points.push_back({t, t, 0});
    }
    auto addBreakpoint = [&points](double b) {
        if (std::isfinite(b)) {
            points.push_back({b, b, 0});
            points.push_back({b - besideDistance, b, -1});
            points.push_back({b + besideDistance, b, 1});
        }
    };
    for (const Signal* signal : {&key.x, &key.y, &key.r}) {
        for (const Piece& piece : signal->pieces) {
            addBreakpoint(piece.from);
        }
    }
    // Where the plot starts and ends, though x is 0 on both sides.
    for (double b : {key.xStart, key.xEnd, key.yStart, key.yEnd}) {
        addBreakpoint(b);
    }
    // At one time, keep the breakpoint itself rather than a neighbour's side.
    std::sort(points.begin(), points.end(), [](const GradePoint& a, const GradePoint& b) {
        return a.t != b.t ? a.t < b.t : std::abs(a.side) < std::abs(b.side);
    });
    points.erase(std::unique(points.begin(), points.end(),
                             [](const GradePoint& a, const GradePoint& b) { return a.t == b.t; }),
                 points.end());
    return points;
}

std::string harnessSource(const std::vector<GradePoint>& points) {
    std::string source =
        "/* Written by mock-midterm-key to run the answers in signals.c at the\n"
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

int judgeFunction(const Signal& expected, const std::vector<GradePoint>& points,
                  const std::string& results, int status, int timeLimitSeconds,
                  std::string* verdict) {
    const Verdict judged =
        judgeRun(expected, points, readRun(results, points.size(), status), timeLimitSeconds);
    *verdict = judged.text;
    return judged.right;
}

int gradeAttempt(const AnswerKey& key, const ExamServices& services, int timeLimitSeconds) {
    if (!isReadableSource("signals.c")) {
        sayCannotGrade("there is no readable signals.c here.");
        return 2;
    }
    if (startsWithByteOrderMark("signals.c")) {
        std::string message = byteOrderMarkMessage("signals.c");
        message.pop_back();  // its line end; sayCannotGrade writes one
        sayCannotGrade(message);
        return 2;
    }
    if (makeScratch(harnessFolderPrefix) != 0) {
        sayCannotGrade(std::string("cannot make a scratch folder here: ") + std::strerror(errno) + ".");
        return 2;
    }
    const std::vector<GradePoint> points = gradingPoints(key);
    if (writeTextFile(scratchPath(harnessSourceName).c_str(), harnessSource(points), nullptr) != 0) {
        sayCannotGrade(std::string("cannot write ") + harnessSourceName + " in the scratch folder.");
        removeScratch();
        return 2;
    }
    std::printf("Compiling signals.c with the grading program...\n");
    const std::string compileCommand = "tcc.exe -o " + scratchCommandPath(harnessProgramName) +
                                       " " + scratchCommandPath(harnessSourceName) + " signals.c";
    const int compiled = services.runCommandWithTimeLimit(compileCommand.c_str(), timeLimitSeconds);
    if (compiled != 0) {
        removeScratch();
        if (compiled == commandNotFound || compiled == commandNotRunnable) {
            sayCannotGrade("the C compiler tcc was not found.");
        } else if (compiled == commandTimedOut) {
            sayCannotGrade("the compiler did not finish within " +
                           std::to_string(timeLimitSeconds) +
                           " s (does signals.c include a file that never ends?).");
        } else {
            sayCannotGrade("signals.c does not compile; the compiler's messages are above. It "
                           "must define x, y, z and r, and no main.");
        }
        return 2;
    }

    struct Question {
        const char* label;
        const char* function;
        const Signal* expected;
    };
    const Question questions[] = {
        {"QUESTION 1  x(t)", "x", &key.x},
        {"QUESTION 2  y(t)", "y", &key.y},
        {"QUESTION 3  z(t)", "z", &key.y},
        {"QUESTION 4  r(t)", "r", &key.r},
    };
    int rightCount = 0;
    std::vector<CheckPanel> panels;
    std::printf("\n");
    const std::string resultsFile = scratchPath(harnessResultsName);
    for (const Question& question : questions) {
        std::remove(resultsFile.c_str());
        const std::string command = scratchCommandPath(harnessProgramName) + " " +
                                    question.function + " " + scratchCommandPath(harnessResultsName);
        const int status = services.runCommandWithTimeLimit(command.c_str(), timeLimitSeconds);
        std::string results;
        if (status == commandNotRunnable || readWholeFile(resultsFile.c_str(), &results) != 0) {
            removeScratch();
            sayCannotGrade(status == commandNotRunnable
                               ? notRunnableHere
                               : "the grading program did not run (status " + std::to_string(status) + ").");
            return 2;
        }
        const StudentRun run = readRun(results, points.size(), status);
        const Verdict verdict =
            judgeRun(*question.expected, points, run, timeLimitSeconds);
        rightCount += verdict.right;
        std::printf("%s: %s\n", question.label, verdict.text.c_str());
        const std::string mistake =
            verdict.right != 0 ? "" : nameMistake(key, question.function[0], points, run.values);
        if (!mistake.empty()) {
            std::printf("%*s%s\n", static_cast<int>(std::strlen(question.label)) + 2, "",
                        mistake.c_str());
        }
        const bool onY = question.expected == &key.y;
        panels.push_back({std::string(question.label) + ": " + verdict.text +
                              (mistake.empty() ? "" : "\n" + mistake),
                          question.expected, (onY ? key.yStart : key.xStart) - 0.5,
                          (onY ? key.yEnd : key.xEnd) + 0.5, run.values, verdict.wrongPoints,
                          run.complete});
    }
    std::printf("\n%d of 4 right.\n", rightCount);
    std::fflush(stdout);
    const int drawn = drawCheckPlot(points, panels, services);
    removeScratch();
    if (drawn == 0) {
        std::printf("Your functions are drawn over the key in %s.\n", checkPlotName);
    } else if (drawn == commandNotFound) {
        std::printf("%s was not drawn: gnuplot was not found.\n", checkPlotName);
    } else if (drawn == -1) {
        std::printf("%s was not drawn.\n", checkPlotName);
    } else {
        std::printf("%s was not drawn (gnuplot status %d).\n", checkPlotName, drawn);
    }
    return rightCount == 4 ? 0 : 1;
}
