#include "key/plots/key_plot.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "generate/exam_rules.h"
#include "generate/questions.h"
#include "generate/text_file.h"
#include "key/model/key_text.h"
#include "key/plots/draw.h"

namespace {
struct Panel {
    std::string title;
    double lo, hi;
    double smallest = 0, largest = 0;
};
}  // namespace

void writeSignalSamples(std::FILE* out, const Signal& signal, double lo, double hi,
                        double* smallest, double* largest) {
    for (const Piece& piece : signal.pieces) {
        const double from = std::max(piece.from, lo);
        const double to = std::min(piece.to, hi);
        if (!(from < to)) {
            continue;
        }
        const int steps = piece.c2 != 0 ? 64 : 1;
        for (int i = 0; i <= steps; ++i) {
            const double t = from + (to - from) * i / steps;
            const double value = pieceValue(piece, t);
            *smallest = std::min(*smallest, value);
            *largest = std::max(*largest, value);
            std::fprintf(out, "%.17g %.17g\n", t, value);
        }
    }
    std::fprintf(out, "\n\n");  // ends one gnuplot data set
}

int writeKeyPlot(const AnswerKey& key, const char* scriptName, const char* dataName,
                 const char* pngName) {
    Panel panels[] = {
        {"x(t)", key.xStart - 0.5, key.xEnd + 0.5},
        {formatTransform(key.scale, key.shift), key.yStart - 0.5, key.yEnd + 0.5},
        {"r(t), the running integral of x(t)", key.xStart - 0.5, key.xEnd + 0.5},
    };
    const Signal* signals[] = {&key.x, &key.y, &key.r};

    std::FILE* data = openTextFile(dataName, keyProgramName);
    if (data == nullptr) {
        return -1;
    }
    for (int i = 0; i < 3; ++i) {
        writeSignalSamples(data, *signals[i], panels[i].lo, panels[i].hi, &panels[i].smallest,
                     &panels[i].largest);
    }
    if (closeTextFile(data, dataName, keyProgramName) != 0) {
        return -1;
    }

    std::FILE* script = openTextFile(scriptName, keyProgramName);
    if (script == nullptr) {
        return -1;
    }
    std::fprintf(script,
                 "set terminal pngcairo size 720,1260 enhanced font \"Sans,13\"\n"
                 "set output %s\n"
                 "set key off\n"
                 "set xlabel \"t\"\n"
                 "set xtics 1\n"
                 "set ytics 1\n"
                 "set mxtics 2\n"
                 "set mytics 2\n"
                 "set grid xtics ytics mxtics mytics back lt 1 lw 1 lc rgb \"#a8a8a8\", "
                 "lt 1 lw 1 lc rgb \"#e4e4e4\"\n"
                 "set xzeroaxis lt 1 lw 1.5 lc rgb \"black\"\n"
                 "set yzeroaxis lt 1 lw 1.5 lc rgb \"black\"\n"
                 "set border lw 1\n"
                 "set tics out nomirror\n"
                 "set multiplot layout 3,1\n",
                 plotString(pngName).c_str());
    for (int i = 0; i < 3; ++i) {
        const Panel& panel = panels[i];
        std::fprintf(script,
                     "set title %s font \"Sans,15\"\n"
                     "set xrange [%.17g:%.17g]\n"
                     "set yrange [%.17g:%.17g]\n"
                     "plot %s index %d using 1:2 with lines lw 3 lc rgb \"#1f4fbf\"\n",
                     plotString(panel.title).c_str(), panel.lo, panel.hi, std::floor(panel.smallest) - 0.5,
                     std::ceil(panel.largest) + 0.5, plotString(dataName).c_str(), i);
    }
    std::fprintf(script, "unset multiplot\nset output\n");
    return closeTextFile(script, scriptName, keyProgramName);
}

int drawKeyPlot(const AnswerKey& key, const ExamServices& services) {
    const PlotDrawing drawing = drawPlot(services, keyPlotName, [&key](const char* script, const char* data,
                                                        const char* png) {
        return writeKeyPlot(key, script, data, png);
    });
    if (drawing.drawn == 0) {
        return 0;
    }
    sayNotDrawn(keyPlotName, drawing);
    return -1;
}
