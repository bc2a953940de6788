#include "key/plots/class_plot.h"

#include <algorithm>
#include <cstdio>

#include "key/plots/draw.h"

namespace {
// The columns of a question's line, and their colours, in the order drawn.
constexpr int drawnOrder[plottedResults] = {1, 2, 3, 4, 0};
constexpr const char* resultTitles[plottedResults] = {"not graded", "right", "wrong", "crashed", "timed out"};
constexpr const char* resultColours[plottedResults] = {"#b0b0b0", "#2a9d3a", "#d03030", "#e08a00", "#7a3fbf"};
// Mistakes listed under the bars, per question.
constexpr std::size_t mistakesDrawn = 3;

// A tic step of whole folders that gives at most ten tics up to `largest`.
int wholeStep(int largest) { return std::max(1, (largest + 9) / 10); }

void writeData(std::FILE* data, const ClassPicture& picture) {
    int graded = 0;
    for (const int count : picture.scores) {
        graded += count;
    }
    std::fprintf(data, "# score folders\n");
    for (int score = 0; score <= plottedQuestions; ++score) {
        std::fprintf(data, "%d %d\n", score, picture.scores[score]);
    }
    std::fprintf(data, "\n\n# question right wrong crashed timed-out not-graded\n");
    for (int question = 0; question < plottedQuestions; ++question) {
        std::fprintf(data, "%d", question + 1);
        for (const int result : drawnOrder) {
            std::fprintf(data, " %d", picture.results[question][result]);
        }
        std::fprintf(data, "\n");
    }
    std::fprintf(data, "\n\n# question count label\n");
    bool any = false;
    for (int question = 0; question < plottedQuestions; ++question) {
        const auto& mistakes = picture.mistakes[question];
        for (std::size_t i = 0; i < mistakes.size() && i < mistakesDrawn; ++i) {
            const std::string label = "Question " + std::to_string(question + 1) + ", " +
                                      std::to_string(mistakes[i].first) + " of " +
                                      std::to_string(graded) + " graded: " + mistakes[i].second;
            std::fprintf(data, "%d %d %s\n", question + 1, mistakes[i].first, plotString(label).c_str());
            any = true;
        }
    }
    if (!any) {
        std::fprintf(data, "0 0 \"No mistake was named.\"\n");
    }
}

void writeScript(std::FILE* script, const ClassPicture& picture, const char* dataName, const char* pngName) {
    int graded = 0;
    int most = 1;
    for (const int count : picture.scores) {
        graded += count;
        most = std::max(most, count);
    }
    std::fprintf(script,
                 "set terminal pngcairo size 960,1100 enhanced font \"Sans,11\"\n"
                 "set output %s\n"
                 "set multiplot\n"
                 "set size 1,0.36\nset origin 0,0.64\n"
                 "set title \"Scores: %d of %d exam folders graded\" font \"Sans,14\"\n"
                 "set key off\nset style fill solid 0.85 border -1\nset boxwidth 0.6\n"
                 "set xrange [-0.5:%d.5]\nset yrange [0:%d]\nset ytics %d\nset grid ytics\n"
                 "set xtics (\"0 of 4\" 0, \"1 of 4\" 1, \"2 of 4\" 2, \"3 of 4\" 3, \"4 of 4\" 4)\n"
                 "plot %s index 0 using 1:2 with boxes lc rgb \"#1f4fbf\", "
                 "\"\" index 0 using 1:2:2 with labels offset 0,0.8\n",
                 plotString(pngName).c_str(), graded, picture.folders, plottedQuestions, most + 1 + most / 8,
                 wholeStep(most),
                 plotString(dataName).c_str());
    std::fprintf(script,
                 "set size 1,0.36\nset origin 0,0.28\n"
                 "set title \"Each question, over the exam folders\" font \"Sans,14\"\n"
                 "set key outside right top vertical\n"
                 "set style data histograms\nset style histogram rowstacked\nset boxwidth 0.6\n"
                 "set xrange [*:*]\nset xtics autofreq\nset yrange [0:%d]\nset ytics %d\n",
                 std::max(picture.folders, 1), wholeStep(picture.folders));
    std::fprintf(script, "plot %s index 1 using 2:xtic(sprintf(\"Question %%d\", column(1))) "
                         "title \"%s\" lc rgb \"%s\"",
                 plotString(dataName).c_str(), resultTitles[drawnOrder[0]], resultColours[drawnOrder[0]]);
    for (int column = 1; column < plottedResults; ++column) {
        std::fprintf(script, ", \"\" index 1 using %d title \"%s\" lc rgb \"%s\"", column + 2,
                     resultTitles[drawnOrder[column]], resultColours[drawnOrder[column]]);
    }
    std::fprintf(script,
                 "\nset size 1,0.28\nset origin 0,0\n"
                 "set title \"The mistakes named most often\" font \"Sans,14\"\n"
                 "unset border\nunset xtics\nunset ytics\nunset grid\nset key off\n"
                 "set xrange [0:1]\nset yrange [-12.5:0.5]\n"
                 "plot %s index 2 using (0.02):(-column(0)):3 with labels left noenhanced font \"Sans,10\"\n"
                 "unset multiplot\nset output\n",
                 plotString(dataName).c_str());
}
}  // namespace

int writeClassPlot(const ClassPicture& picture, const char* scriptName, const char* dataName,
                   const char* pngName) {
    return writePlotFiles(
        dataName, [&](std::FILE* data) { writeData(data, picture); }, scriptName,
        [&](std::FILE* script) { writeScript(script, picture, dataName, pngName); });
}

int drawClassPlot(const ClassPicture& picture, const ExamServices& services, const std::string& pngPath) {
    const PlotDrawing drawing = drawPlot(services, pngPath.c_str(), [&](const char* script, const char* data,
                                                               const char* png) {
        return writeClassPlot(picture, script, data, png);
    });
    if (drawing.drawn != 0) {
        sayNotDrawn(pngPath.c_str(), drawing);
        return -1;
    }
    return 0;
}
