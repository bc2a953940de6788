#include "key/judging/verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/services.h"

namespace {
constexpr double infinity = std::numeric_limits<double>::infinity();
// Two errors this close, relatively, are one error rounded two ways.
constexpr double relativeRounding = 1e-6;

bool contains(const std::vector<double>& sorted, double t) {
    return std::binary_search(sorted.begin(), sorted.end(), t);
}

// "at t = 3", "just before t = 3": a point beside a breakpoint is named by
// the breakpoint, whose time prints short.
std::string describe(const GradePoint& point) {
    if (point.side == 0) {
        return "at t = " + shortNumber(point.t);
    }
    return (point.side < 0 ? "just before t = " : "just after t = ") + shortNumber(point.near);
}

std::string expectedText(double before, double after) {
    return before == after ? shortNumber(before) : shortNumber(before) + " or " + shortNumber(after);
}

// "-0.5 < t < 0", "t > 4", "all t".
std::string openInterval(double lo, double hi) {
    if (lo == -infinity) {
        return hi == infinity ? "all t" : "t < " + shortNumber(hi);
    }
    if (hi == infinity) {
        return "t > " + shortNumber(lo);
    }
    return shortNumber(lo) + " < t < " + shortNumber(hi);
}

// A crash by its name: the signal that ended it on POSIX (Linux's numbers),
// the exception code that is its exit status on Windows. Null for another end.
const char* crashName(const RunResult& run) {
    struct Crash {
        unsigned code;
        const char* name;
    };
    static const Crash signals[] = {
        {8, "division by zero"},  {11, "invalid memory access"}, {7, "invalid memory access"},
        {6, "it called abort"},   {9, "it was killed (SIGKILL)"},
    };  // SIGFPE, SIGSEGV, SIGBUS, SIGABRT, SIGKILL
    static const Crash exceptions[] = {
        {0xC0000094u, "division by zero"},      {0xC000008Eu, "division by zero"},
        {0xC0000005u, "invalid memory access"}, {0xC00000FDu, "stack overflow"},
        {0xC0000409u, "it called abort"},
    };
    for (const Crash& crash : signals) {
        if (run.endSignal != 0 && static_cast<int>(crash.code) == run.endSignal) {
            return crash.name;
        }
    }
    for (const Crash& crash : exceptions) {
        if (run.endSignal == 0 && static_cast<int>(crash.code) == run.exitStatus) {
            return crash.name;
        }
    }
    return nullptr;
}

// How a run that ended before its last value ended.
std::string endingText(const std::vector<GradePoint>& points, const StudentRun& run,
                       int timeLimitSeconds) {
    const std::size_t stop = run.values.size();
    const std::string where = stop < points.size() ? describe(points[stop])
                                                   : "after t = " + shortNumber(points.back().t);
    const int status = shellStatus(run.status);
    if (run.status.timedOut) {
        return where + " it never returned a value within " + std::to_string(timeLimitSeconds) + " s";
    }
    if (run.stackOverflow) {
        return "it crashed " + where + ": stack overflow";
    }
    if (run.exited) {
        // exit(136) is no division by zero, whatever its status looks like.
        return "the program ended " + where + " without a value" +
               (status != 0 ? ": it called exit(" + std::to_string(status) + ")" : "");
    }
    if (status != 0) {
        const char* name = crashName(run.status);
        return "it crashed " + where +
               (name != nullptr ? std::string(": ") + name : " (exit status " + std::to_string(status) + ")");
    }
    return "the program ended " + where + " without a value";
}

// The wrong values, placed against the key's pieces.
struct WrongPlaces {
    std::vector<std::size_t> inside;  // inside a piece, away from its ends
    std::vector<std::size_t> beside;  // just before or after a breakpoint
    std::vector<std::size_t> at;      // at a breakpoint itself
};

std::string valueText(const Signal& expected, const GradePoint& point, double value) {
    const double before = leftValue(expected, point.t);
    const double after = rightValue(expected, point.t);
    std::string text = "expected " + expectedText(before, after) + ", got " + shortNumber(value);
    // Short numbers can hide a small error; say its size then.
    const double nearest = std::fabs(value - before) < std::fabs(value - after) ? before : after;
    if (shortNumber(value) == shortNumber(nearest) && std::isfinite(value)) {
        text += " (off by " + shortNumber(value - nearest) + ")";
    }
    return text;
}

double errorAt(const Signal& expected, const GradePoint& point, double value) {
    const double error = std::min(std::fabs(value - leftValue(expected, point.t)),
                                  std::fabs(value - rightValue(expected, point.t)));
    if (std::isnan(error)) {
        return infinity;
    }
    return error;
}

// 3 for whole times, 0 for eighths, -1 for finer times.
int roundness(double t) {
    for (int level = 3; level >= 0; --level) {
        const double scaled = t * (8 >> level);
        if (scaled == std::floor(scaled)) {
            return level;
        }
    }
    return -1;
}

// The runs of neighbouring pieces that hold wrong values inside them, named
// by their ends: "0 < t < 2", at most three and "elsewhere".
std::vector<std::string> wrongIntervals(const std::vector<double>& breakpoints,
                                        const std::vector<GradePoint>& points,
                                        const std::vector<std::size_t>& inside) {
    std::vector<std::size_t> pieces;
    for (std::size_t i : inside) {
        const auto piece = static_cast<std::size_t>(
            std::lower_bound(breakpoints.begin(), breakpoints.end(), points[i].t) -
            breakpoints.begin());
        if (pieces.empty() || pieces.back() != piece) {
            pieces.push_back(piece);
        }
    }
    std::vector<std::string> intervals;
    for (std::size_t first = 0; first < pieces.size();) {
        std::size_t last = first;
        while (last + 1 < pieces.size() && pieces[last + 1] == pieces[last] + 1) {
            ++last;
        }
        const double lo = pieces[first] == 0 ? -infinity : breakpoints[pieces[first] - 1];
        double hi = infinity;
        if (pieces[last] < breakpoints.size()) {
            hi = breakpoints[pieces[last]];
        }
        intervals.push_back(openInterval(lo, hi));
        first = last + 1;
    }
    if (intervals.size() > 3) {
        intervals.resize(3);
        intervals.push_back("elsewhere");
    }
    return intervals;
}

// The worst time among those of the coarse grid, so that it prints short;
// of equal errors the roundest time.
std::size_t worstPoint(const Signal& expected, const std::vector<GradePoint>& points,
                       const std::vector<double>& values, const std::vector<std::size_t>& inside) {
    std::size_t worst = inside.front();
    for (std::size_t i : inside) {
        if (roundness(points[i].t) > roundness(points[worst].t)) {
            worst = i;  // every piece holds times of eighths
        }
    }
    for (std::size_t i : inside) {
        const double error = errorAt(expected, points[i], values[i]);
        const double worstError = errorAt(expected, points[worst], values[worst]);
        // Alike to within rounding.
        const bool larger = error > worstError * (1 + relativeRounding);
        const bool asLarge = error >= worstError * (1 - relativeRounding);
        if (roundness(points[i].t) >= 0 &&
            (larger || (asLarge && roundness(points[i].t) > roundness(points[worst].t)))) {
            worst = i;
        }
    }
    return worst;
}

std::string wrongValuesText(const Signal& expected, const std::vector<GradePoint>& points,
                            const std::vector<double>& values, const WrongPlaces& wrong) {
    if (!wrong.inside.empty()) {
        const std::size_t worst = worstPoint(expected, points, values, wrong.inside);
        return "wrong for " + joinWithAnd(wrongIntervals(breakpointsOf(expected), points, wrong.inside)) +
               ": " + describe(points[worst]) + " " + valueText(expected, points[worst], values[worst]);
    }
    if (!wrong.beside.empty()) {
        const std::size_t first = wrong.beside.front();
        std::string text = "wrong " + describe(points[first]) + ": " +
                           valueText(expected, points[first], values[first]);
        if (wrong.beside.size() + wrong.at.size() > 1) {
            text += " (and at other corners)";
        }
        return text;
    }
    std::vector<std::string> times;
    for (std::size_t i : wrong.at) {
        times.push_back("t = " + shortNumber(points[i].t));
    }
    // A value of another piece at a corner is what a wrong < or > gives.
    bool finite = true;
    for (std::size_t i : wrong.at) {
        finite = finite && std::isfinite(values[i]);
    }
    const std::size_t first = wrong.at.front();
    return "wrong only at " + joinWithAnd(times) + ": " +
           (times.size() > 1 ? describe(points[first]) + " " : std::string()) +
           valueText(expected, points[first], values[first]) +
           (finite ? " (check <= and >= at the corners)" : "");
}
}  // namespace


Verdict judgeRun(const Signal& expected, const std::vector<GradePoint>& points,
                 const StudentRun& run, int timeLimitSeconds) {
    Verdict verdict;
    const std::vector<double> breakpoints = breakpointsOf(expected);
    WrongPlaces wrong;
    for (std::size_t i = 0; i < run.values.size() && i < points.size(); ++i) {
        const GradePoint& point = points[i];
        if (isRightValue(run.values[i], leftValue(expected, point.t), rightValue(expected, point.t))) {
            continue;
        }
        verdict.wrongPoints.push_back(i);
        if (contains(breakpoints, point.t)) {
            wrong.at.push_back(i);
        } else if (point.side != 0 && contains(breakpoints, point.near)) {
            wrong.beside.push_back(i);
        } else {
            wrong.inside.push_back(i);
        }
    }
    const bool ended = run.complete && run.values.size() == points.size();
    if (!run.unstable.empty()) {
        // Never right by luck: another machine's memory gives other values.
        verdict.wrongPoints.insert(verdict.wrongPoints.end(), run.unstable.begin(), run.unstable.end());
        std::sort(verdict.wrongPoints.begin(), verdict.wrongPoints.end());
        verdict.wrongPoints.erase(std::unique(verdict.wrongPoints.begin(), verdict.wrongPoints.end()),
                                  verdict.wrongPoints.end());
        verdict.text = "wrong: " + describe(points[run.unstable.front()]) +
                       " it gave two different values in two runs, so it reads memory it never set "
                       "(a variable without a value, or a path without a return)";
        return verdict;
    }
    if (verdict.wrongPoints.empty()) {
        verdict.right = ended ? 1 : 0;
        verdict.text = ended ? "right" : "wrong: " + endingText(points, run, timeLimitSeconds);
        return verdict;
    }
    verdict.text = wrongValuesText(expected, points, run.values, wrong);
    if (!ended) {
        verdict.text += "; then " + endingText(points, run, timeLimitSeconds);
    }
    return verdict;
}
