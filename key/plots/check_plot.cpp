#include "key/plots/check_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "generate/questions.h"
#include "generate/text_file.h"
#include "key/judging/verdict.h"
#include "key/base/words.h"
#include "key/plots/draw.h"
#include "key/plots/key_plot.h"

namespace {

// A data set with nothing to draw still needs a point, or gnuplot warns on
// the student's console; this one lies far outside every window.
constexpr const char* emptySetPoint = "1e6 0\n";

// Each panel's data sets: the key, the student's line, the wrong points, the
// marks at the edge and their values.
constexpr std::size_t dataSetsPerPanel = 5;
constexpr int maxEdgeLabels = 6;
// Characters of a title line that fit the picture's width.
constexpr std::size_t titleWidth = 120;

struct Window {
    double lo, hi;
    double smallest, largest;
    double bottom, top;  // the y range drawn: the values with a margin, in whole units
};

bool isDrawn(const GradedQuestion& panel) { return panel.complete && panel.wrongPoints.empty(); }

// The exam's window, widened to every wrong time and the time a run stopped,
// and high enough for the key and, within reason, the student's values.
Window windowOf(const std::vector<GradePoint>& points, const GradedQuestion& panel) {
    Window window{panel.lo, panel.hi, 0, 0, 0, 0};
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
    const double span = window.largest - window.smallest;
    window.bottom = std::floor(window.smallest - 0.1 * span) - 0.5;
    window.top = std::ceil(window.largest + 0.1 * span) + 0.5;
    return window;
}

// Values the y range leaves out, marked at its edge: a triangle for each,
// and the value itself once for each run of them on one side.
void writeEdgeSets(std::FILE* out, const std::vector<GradePoint>& points, const GradedQuestion& panel,
                   const Window& window) {
    const double bottom = window.bottom;
    const double top = window.top;
    const double inset = 0.04 * (top - bottom);
    std::string marks;
    std::string labels;
    int labelCount = 0;
    std::size_t runStart = 0;
    int runSide = 0;  // +1 above, -1 below, 0 no run
    double runExtreme = 0;
    auto endRun = [&](std::size_t end) {
        if (runSide != 0 && labelCount < maxEdgeLabels) {
            char line[120];
            std::snprintf(line, sizeof line, "%.17g %.17g \"%s\"\n", (points[runStart].t + points[end - 1].t) / 2,
                          runSide > 0 ? top - 3 * inset : bottom + 3 * inset, shortNumber(runExtreme).c_str());
            labels += line;
            ++labelCount;
        }
        runSide = 0;
    };
    for (std::size_t i = 0; i < panel.values.size(); ++i) {
        const double value = panel.values[i];
        const int side = points[i].t < window.lo || points[i].t > window.hi ? 0
                         : std::isnan(value) || value > top                  ? 1
                         : value < bottom                                    ? -1
                                                                             : 0;
        if (side != runSide) {
            endRun(i);
            runStart = i;
            runSide = side;
            runExtreme = value;
        }
        if (side != 0) {
            runExtreme = std::isnan(value) || std::fabs(value) > std::fabs(runExtreme) ? value : runExtreme;
            char line[80];
            std::snprintf(line, sizeof line, "%.17g %.17g\n", points[i].t, side > 0 ? top - inset : bottom + inset);
            marks += line;
        }
    }
    endRun(panel.values.size());
    std::fprintf(out, "%s\n\n%s\n\n", marks.empty() ? emptySetPoint : marks.c_str(),
                 labels.empty() ? "1e6 0 \"\"\n" : labels.c_str());
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

// Wrong values where they are; those beyond the y range are at its edge.
void writeWrongSet(std::FILE* out, const std::vector<GradePoint>& points, const GradedQuestion& panel,
                   const Window& window) {
    const double bottom = window.bottom;
    const double top = window.top;
    bool any = false;
    for (std::size_t i : panel.wrongPoints) {
        const double value = panel.values[i];
        if (value >= bottom && value <= top) {
            std::fprintf(out, "%.17g %.17g\n", points[i].t, value);
            any = true;
        }
    }
    std::fprintf(out, "%s\n\n", any ? "" : emptySetPoint);
}

// The title's lines, each cut at a space to fit the picture's width.
std::string wrapped(const std::string& text) {
    std::string result;
    std::size_t lineStart = 0;
    std::size_t lastSpace = std::string::npos;
    for (char c : text) {
        result += c;
        if (c == '\n') {
            lineStart = result.size();
            lastSpace = std::string::npos;
        } else if (c == ' ') {
            lastSpace = result.size() - 1;
        }
        if (result.size() - lineStart > titleWidth && lastSpace != std::string::npos) {
            result[lastSpace] = '\n';
            lineStart = lastSpace + 1;
            lastSpace = std::string::npos;
        }
    }
    return result;
}

// The script's lines of panel i: its title, its window and its data sets.
void writePanelScript(std::FILE* script, const std::vector<GradePoint>& points,
                      const GradedQuestion& panel, const Window& window, std::size_t i,
                      const char* dataName, bool showKey) {
    std::fprintf(script, "unset arrow\n");
    if (!panel.complete && panel.values.size() < points.size()) {
        std::fprintf(script,
                     "set arrow from %.17g, graph 0 to %.17g, graph 1 nohead dt 2 lw 2 "
                     "lc rgb \"#d01010\"\n",
                     points[panel.values.size()].t, points[panel.values.size()].t);
    }
    const double bottom = window.bottom;
    const double top = window.top;
    // A few wrong corners need rings large enough to find.
    const bool sparse = panel.wrongPoints.size() < 8;
    const std::size_t set = dataSetsPerPanel * i;
    std::fprintf(script,
                 "set title %s noenhanced font \"Sans,11\" textcolor rgb \"%s\"\n"
                 "set xrange [%.17g:%.17g]\n"
                 "set yrange [%.17g:%.17g]\n"
                 "set ytics autofreq\n"
                 "plot \"%s\" index %zu using 1:2 with lines lw 1.5 lc rgb \"#1f4fbf\" %s, \\\n"
                 "     \"\" index %zu using 1:2 with lines lw 3 lc rgb \"#80ff8c00\" title \"yours\", \\\n"
                 "     \"\" index %zu using 1:2 with points %s lc rgb \"#d01010\" %s, \\\n"
                 "     \"\" index %zu using 1:2 with points pt 7 ps 0.5 lc rgb \"#d01010\" notitle, \\\n"
                 "     \"\" index %zu using 1:2:3 with labels noenhanced font \"Sans,9\" tc rgb \"#d01010\" notitle\n",
                 plotString(wrapped(panel.title)).c_str(), isDrawn(panel) ? "#1a7a1a" : "#c01010", window.lo,
                 window.hi, bottom, top, dataName, set, showKey ? "title \"key\"" : "notitle",
                 set + 1, set + 2, sparse ? "pt 6 ps 2 lw 2" : "pt 7 ps 0.6",
                 panel.wrongPoints.empty() ? "notitle" : "title \"wrong\"", set + 3, set + 4);
}
}  // namespace

int writeCheckPlot(const std::vector<GradePoint>& points, const std::vector<GradedQuestion>& panels,
                   const char* scriptName, const char* dataName, const char* pngName, bool showKey) {
    std::vector<Window> windows;
    std::FILE* data = openTextFile(dataName, nullptr);
    if (data == nullptr) {
        return -1;
    }
    for (const GradedQuestion& panel : panels) {
        windows.push_back(windowOf(points, panel));
        double smallest = 0;  // the window has its own
        double largest = 0;
        if (showKey) {
            writeSignalSamples(data, *panel.key, windows.back().lo, windows.back().hi, &smallest, &largest);
        } else {
            std::fprintf(data, "%s\n\n", emptySetPoint);  // a hint first: the key is for later
        }
        writeStudentSet(data, points, panel);
        writeWrongSet(data, points, panel, windows.back());
        writeEdgeSets(data, points, panel, windows.back());
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
                 "set key below horizontal height 0.5 font \"Sans,10\"\n"
                 "set xlabel \"t\" offset 0,0.3\n"
                 "set xtics 1\n"
                 "set mxtics 2\n"
                 "set grid xtics ytics mxtics back lt 1 lw 1 lc rgb \"#c8c8c8\", "
                 "lt 1 lw 1 lc rgb \"#ececec\"\n"
                 "set xzeroaxis lt 1 lw 1 lc rgb \"black\"\n"
                 "set tics out nomirror\n"
                 "set multiplot layout %d,1\n",
                 static_cast<int>(panels.size()) * 360, plotString(pngName).c_str(),
                 static_cast<int>(panels.size()));
    for (std::size_t i = 0; i < panels.size(); ++i) {
        writePanelScript(script, points, panels[i], windows[i], i, dataName, showKey);
    }
    std::fprintf(script, "unset multiplot\nset output\n");
    return closeTextFile(script, scriptName, nullptr);
}

int drawCheckPlot(const GradedAttempt& graded, const ExamServices& services, bool showKey) {
    const PlotDrawing drawing = drawPlot(services, checkPlotName, [&](const char* script, const char* data,
                                                      const char* png) {
        return writeCheckPlot(graded.points, graded.questions, script, data, png, showKey);
    });
    if (drawing.drawn == 0 && showKey) {
        std::printf("Your functions are drawn over the key in %s.\n", checkPlotName);
    } else if (drawing.drawn == 0) {
        std::printf("Your functions are drawn in %s, red where they are wrong; grade --show-key "
                    "draws the key there too.\n", checkPlotName);
    } else if (drawing.gnuplot.start == RunStart::notFound) {
        std::fflush(stdout);
        sayProblem(gnuplotMissingLine(checkPlotName));
    } else {
        // No scratch folder here is said as a plain "not drawn".
        std::printf("%s was not drawn%s\n", checkPlotName,
                    drawing.drawn == noScratchFolder ? "." : gnuplotFailure(drawing.gnuplot).c_str());
    }
    return drawing.drawn == 0 ? 0 : -1;
}
