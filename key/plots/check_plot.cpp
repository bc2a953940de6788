#include "key/plots/check_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "generate/questions.h"
#include "generate/text_file.h"
#include "key/grading/scratch.h"
#include "key/model/key_text.h"
#include "key/plots/draw.h"
#include "key/plots/key_plot.h"

namespace {

// A data set with nothing to draw still needs a point, or gnuplot warns on
// the student's console; this one lies far outside every window.
constexpr const char* emptySetPoint = "1e6 0\n";

struct Window {
    double lo, hi;
    double smallest, largest;
};

bool isDrawn(const GradedQuestion& panel) { return panel.complete && panel.wrongPoints.empty(); }

// The exam's window, widened to every wrong time and the time a run stopped,
// and high enough for the key and, within reason, the student's values.
Window windowOf(const std::vector<GradePoint>& points, const GradedQuestion& panel) {
    Window window{panel.lo, panel.hi, 0, 0};
    for (std::size_t i : panel.wrongPoints) {
        window.lo = std::min(window.lo, points[i].t - 0.5);
        window.hi = std::max(window.hi, points[i].t + 0.5);
    }
    if (!panel.complete && panel.values.size() < points.size()) {
        window.lo = std::min(window.lo, points[panel.values.size()].t - 0.5);
        window.hi = std::max(window.hi, points[panel.values.size()].t + 0.5);
    }
    window.lo = std::max(window.lo, points.front().t);
    window.hi = std::min(window.hi, points.back().t);
    for (const GradePoint& point : points) {
        if (point.t >= window.lo && point.t <= window.hi) {
            for (double value : {leftValue(*panel.key, point.t), rightValue(*panel.key, point.t)}) {
                window.smallest = std::min(window.smallest, value);
                window.largest = std::max(window.largest, value);
            }
        }
    }
    // A value of a million must not flatten the key to a line.
    const double reach = std::max(4.0, 2 * (window.largest - window.smallest));
    const double floorValue = window.smallest - reach;
    const double ceilingValue = window.largest + reach;
    for (std::size_t i = 0; i < panel.values.size(); ++i) {
        const double value = panel.values[i];
        if (std::isfinite(value) && points[i].t >= window.lo && points[i].t <= window.hi) {
            window.smallest = std::max(floorValue, std::min(window.smallest, value));
            window.largest = std::min(ceilingValue, std::max(window.largest, value));
        }
    }
    return window;
}

// The student's values as a line, broken where there is no number.
void writeStudentSet(std::FILE* out, const std::vector<GradePoint>& points, const GradedQuestion& panel) {
    bool any = false;
    bool broken = true;  // two blank lines in a row would end the data set
    for (std::size_t i = 0; i < panel.values.size(); ++i) {
        if (std::isfinite(panel.values[i])) {
            std::fprintf(out, "%.17g %.17g\n", points[i].t, panel.values[i]);
            any = true;
            broken = false;
        } else if (!broken) {
            std::fprintf(out, "\n");
            broken = true;
        }
    }
    std::fprintf(out, "%s%s", any ? "" : emptySetPoint, any && broken ? "\n" : "\n\n");
}

// Wrong values where they are; one that is no number sits on the key.
void writeWrongSet(std::FILE* out, const std::vector<GradePoint>& points, const GradedQuestion& panel) {
    for (std::size_t i : panel.wrongPoints) {
        const double value = panel.values[i];
        std::fprintf(out, "%.17g %.17g\n", points[i].t,
                     std::isfinite(value) ? value : rightValue(*panel.key, points[i].t));
    }
    std::fprintf(out, "%s\n\n", panel.wrongPoints.empty() ? emptySetPoint : "");
}

// A gnuplot string: its own line breaks as \n, no quote or backslash of ours.
std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) {
        if (c == '\n') {
            result += "\\n";
        } else if (c == '"' || c == '\\') {
            result += '\'';
        } else {
            result += c;
        }
    }
    return result + "\"";
}

// The script's lines of panel i: its title, its window and three data sets.
void writePanelScript(std::FILE* script, const std::vector<GradePoint>& points,
                      const GradedQuestion& panel, const Window& window, std::size_t i,
                      const char* dataName) {
    std::fprintf(script, "unset arrow\n");
    if (!panel.complete && panel.values.size() < points.size()) {
        std::fprintf(script,
                     "set arrow from %.17g, graph 0 to %.17g, graph 1 nohead dt 2 lw 2 "
                     "lc rgb \"#d01010\"\n",
                     points[panel.values.size()].t, points[panel.values.size()].t);
    }
    const double span = window.largest - window.smallest;
    // A few wrong corners need rings large enough to find.
    const bool sparse = panel.wrongPoints.size() < 8;
    std::fprintf(script,
                 "set title %s noenhanced font \"Sans,12\" textcolor rgb \"%s\"\n"
                 "set xrange [%.17g:%.17g]\n"
                 "set yrange [%.17g:%.17g]\n"
                 "set ytics autofreq\n"
                 "plot \"%s\" index %zu using 1:2 with lines lw 1.5 lc rgb \"#1f4fbf\" title \"key\", \\\n"
                 "     \"\" index %zu using 1:2 with lines lw 3 lc rgb \"#80ff8c00\" title \"yours\", \\\n"
                 "     \"\" index %zu using 1:2 with points %s lc rgb \"#d01010\" %s\n",
                 quoted(panel.title).c_str(), isDrawn(panel) ? "#1a7a1a" : "#c01010", window.lo,
                 window.hi, std::floor(window.smallest - 0.1 * span) - 0.5,
                 std::ceil(window.largest + 0.1 * span) + 0.5, dataName, 3 * i, 3 * i + 1,
                 3 * i + 2, sparse ? "pt 6 ps 2 lw 2" : "pt 7 ps 0.6",
                 panel.wrongPoints.empty() ? "notitle" : "title \"wrong\"");
}
}  // namespace

int writeCheckPlot(const std::vector<GradePoint>& points, const std::vector<GradedQuestion>& panels,
                   const char* scriptName, const char* dataName, const char* pngName) {
    std::vector<Window> windows;
    std::FILE* data = openTextFile(dataName, nullptr);
    if (data == nullptr) {
        return -1;
    }
    for (const GradedQuestion& panel : panels) {
        windows.push_back(windowOf(points, panel));
        double smallest = 0;  // the window has its own
        double largest = 0;
        writeSignalSamples(data, *panel.key, windows.back().lo, windows.back().hi, &smallest, &largest);
        writeStudentSet(data, points, panel);
        writeWrongSet(data, points, panel);
    }
    if (closeTextFile(data, dataName, nullptr) != 0) {
        return -1;
    }

    std::FILE* script = openTextFile(scriptName, nullptr);
    if (script == nullptr) {
        return -1;
    }
    std::fprintf(script,
                 "set terminal pngcairo size 960,%d enhanced font \"Sans,11\"\n"
                 "set output %s\n"
                 "set key outside right top font \"Sans,10\"\n"
                 "set xlabel \"t\" offset 0,0.5\n"
                 "set xtics 1\n"
                 "set mxtics 2\n"
                 "set grid xtics ytics mxtics back lt 1 lw 1 lc rgb \"#c8c8c8\", "
                 "lt 1 lw 1 lc rgb \"#ececec\"\n"
                 "set xzeroaxis lt 1 lw 1 lc rgb \"black\"\n"
                 "set tics out nomirror\n"
                 "set multiplot layout %d,1\n",
                 static_cast<int>(panels.size()) * 360, quoted(pngName).c_str(),
                 static_cast<int>(panels.size()));
    for (std::size_t i = 0; i < panels.size(); ++i) {
        writePanelScript(script, points, panels[i], windows[i], i, dataName);
    }
    std::fprintf(script, "unset multiplot\nset output\n");
    return closeTextFile(script, scriptName, nullptr);
}

int drawCheckPlot(const GradedAttempt& graded, const ExamServices& services) {
    // An old picture left in place would look like this grading's.
    std::remove(checkPlotName);
    int drawn = -1;
    if (makeScratch(plotFolderPrefix) == 0) {
        if (writeCheckPlot(graded.points, graded.questions, scratchPath(plotScriptName).c_str(),
                           scratchPath(plotDataName).c_str(), checkPlotName) == 0) {
            drawn = drawScratchPlot(services, checkPlotName);
        }
        removeScratch();
    }
    if (drawn == 0) {
        std::printf("Your functions are drawn over the key in %s.\n", checkPlotName);
    } else if (drawn == commandNotFound) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", keyProgramName, gnuplotMissingLine(checkPlotName).c_str());
    } else if (drawn == -1) {
        std::printf("%s was not drawn.\n", checkPlotName);
    } else {
        std::printf("%s was not drawn (gnuplot status %d).\n", checkPlotName, drawn);
    }
    return drawn;
}
