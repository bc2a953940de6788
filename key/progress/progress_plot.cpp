#include "key/progress/progress_plot.h"

#include <cstdio>
#include <string>

#include "key/plots/draw.h"

namespace {
// A result's colour, by its number: not graded, right, wrong, crashed, timed out.
constexpr unsigned resultColours[] = {0xb0b0b0, 0x2a9d3a, 0xd03030, 0xe08a00, 0x7a3fbf};

void writeData(std::FILE* data, const std::vector<ProgressAttempt>& attempts) {
    std::fprintf(data, "# attempt score\n");
    bool any = false;
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        if (attempts[i].result.status == gradedStatus) {
            std::fprintf(data, "%zu %d\n", i + 1, attempts[i].result.score);
            any = true;
        }
    }
    // A data set with nothing to draw still needs a point, far outside the panel.
    std::fprintf(data, "%s\n\n# attempt question result colour\n", any ? "" : "-100 0\n");
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        for (int question = 0; question < questionCount; ++question) {
            const int result = attempts[i].result.answers[question];
            std::fprintf(data, "%zu %d %d %u\n", i + 1, question + 1, result,
                         resultColours[result >= 0 && result <= answerTimedOut ? result : 0]);
        }
    }
}

std::string attemptTics(const std::vector<ProgressAttempt>& attempts) {
    std::string tics = "set xtics (";
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        tics += (i > 0 ? ", " : "") + plotString(attempts[i].name) + " " + std::to_string(i + 1);
    }
    return tics + ")\n";
}

void writeScript(std::FILE* script, const std::vector<ProgressAttempt>& attempts, const char* dataName,
                 const char* pngName) {
    const std::string data = plotString(dataName);
    std::fprintf(script,
                 "set terminal pngcairo size 900,800 enhanced font \"Sans,11\"\n"
                 "set output %s\n"
                 "set multiplot layout 2,1\n"
                 "set key off\nset grid ytics\nset xlabel \"attempt\"\n"
                 "set xrange [0.5:%zu.5]\n%s"
                 "set title \"Questions right, attempt by attempt\" font \"Sans,14\"\n"
                 "set yrange [-0.3:4.5]\nset ytics 1\n"
                 "plot %s index 0 using 1:2 with linespoints lw 3 pt 7 ps 1.5 lc rgb \"#1f4fbf\"\n"
                 "set title \"Each question: green right, red wrong, orange crashed, purple timed out, "
                 "grey not graded\" font \"Sans,12\"\n"
                 "set yrange [4.6:0.4]\nset ytics (\"Q1\" 1, \"Q2\" 2, \"Q3\" 3, \"Q4\" 4)\n"
                 "plot %s index 1 using 1:2:4 with points pt 5 ps 4 lc rgb variable\n"
                 "unset multiplot\nset output\n",
                 plotString(pngName).c_str(), attempts.size(), attemptTics(attempts).c_str(), data.c_str(),
                 data.c_str());
}
}  // namespace

int writeProgressPlot(const std::vector<ProgressAttempt>& attempts, const char* scriptName,
                      const char* dataName, const char* pngName) {
    return writePlotFiles(
        dataName, [&](std::FILE* data) { writeData(data, attempts); }, scriptName,
        [&](std::FILE* script) { writeScript(script, attempts, dataName, pngName); });
}

int drawProgressPlot(const std::vector<ProgressAttempt>& attempts, const ExamServices& services) {
    const PlotDrawing drawing = drawPlot(services, progressPlotName, [&](const char* script, const char* data,
                                                                const char* png) {
        return writeProgressPlot(attempts, script, data, png);
    });
    if (drawing.drawn != 0) {
        sayNotDrawn(progressPlotName, drawing);
        return -1;
    }
    return 0;
}
