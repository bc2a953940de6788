#include "key/feedback.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "key/key_text.h"
#include "platform/platform.h"

namespace {
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// Beyond this many pieces a named difference says less than the plot does.
constexpr std::size_t mostTermsNamed = 4;
// Fitted coefficients are rounded to this grid; a student's slips are
// halves and whole numbers, and the final match checks the rounding.
constexpr double coefficientGrid = 1024;

bool isRight(double value, double before, double after) {
    return std::isfinite(value) &&
           (std::fabs(value - before) <= gradeTolerance || std::fabs(value - after) <= gradeTolerance);
}

// The times where the signal's pieces meet, in order.
std::vector<double> breakpointsOf(const Signal& signal) {
    std::vector<double> result;
    for (std::size_t i = 1; i < signal.pieces.size(); ++i) {
        result.push_back(signal.pieces[i].from);
    }
    return result;
}

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

std::string joinWithAnd(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            text += i + 1 == parts.size() ? " and " : ", ";
        }
        text += parts[i];
    }
    return text;
}

// The exit statuses of a crash: 128 + the signal from a POSIX shell, the
// exception code on Windows. The two sets do not overlap.
const char* crashName(int status) {
    struct Crash {
        unsigned code;
        const char* name;
    };
    static const Crash crashes[] = {
        {136, "division by zero"},           {0xC0000094u, "division by zero"},
        {0xC000008Eu, "division by zero"},   {139, "invalid memory access"},
        {135, "invalid memory access"},      {0xC0000005u, "invalid memory access"},
        {0xC00000FDu, "stack overflow"},     {134, "it called abort"},
        {0xC0000409u, "it called abort"},
    };
    for (const Crash& crash : crashes) {
        if (static_cast<int>(crash.code) == status) {
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
    if (run.status == commandTimedOut) {
        return where + " it never returned a value within " + std::to_string(timeLimitSeconds) + " s";
    }
    if (run.status != 0) {
        const char* name = crashName(run.status);
        return "it crashed " + where +
               (name != nullptr ? std::string(": ") + name
                                : " (exit status " + std::to_string(run.status) + ")");
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

std::string wrongValuesText(const Signal& expected, const std::vector<GradePoint>& points,
                            const std::vector<double>& values, const WrongPlaces& wrong) {
    const std::vector<double> breakpoints = breakpointsOf(expected);
    if (!wrong.inside.empty()) {
        // Runs of neighbouring pieces that are wrong, named by their ends.
        std::vector<std::size_t> pieces;
        for (std::size_t i : wrong.inside) {
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
        // The worst time among those of the coarse grid, so that it prints
        // short; of equal errors the roundest time.
        std::size_t worst = wrong.inside.front();
        for (std::size_t i : wrong.inside) {
            if (roundness(points[i].t) > roundness(points[worst].t)) {
                worst = i;  // every piece holds times of eighths
            }
        }
        for (std::size_t i : wrong.inside) {
            const double error = errorAt(expected, points[i], values[i]);
            const double worstError = errorAt(expected, points[worst], values[worst]);
            // Alike to within rounding.
            const bool larger = error > worstError * (1 + 1e-6);
            const bool asLarge = error >= worstError * (1 - 1e-6);
            if (roundness(points[i].t) >= 0 &&
                (larger || (asLarge && roundness(points[i].t) > roundness(points[worst].t)))) {
                worst = i;
            }
        }
        return "wrong for " + joinWithAnd(intervals) + ": " + describe(points[worst]) + " " +
               valueText(expected, points[worst], values[worst]);
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

// The key's values, or a candidate's, on each side of every point.
struct Sampled {
    std::vector<double> before;
    std::vector<double> after;
};

Sampled sample(const Signal& signal, const std::vector<GradePoint>& points) {
    Sampled result;
    for (const GradePoint& point : points) {
        result.before.push_back(leftValue(signal, point.t));
        result.after.push_back(rightValue(signal, point.t));
    }
    return result;
}

// a + weight*b, side by side.
Sampled plus(const Sampled& a, const Sampled& b, double weight) {
    Sampled result = a;
    for (std::size_t i = 0; i < a.before.size(); ++i) {
        result.before[i] += weight * b.before[i];
        result.after[i] += weight * b.after[i];
    }
    return result;
}

bool matches(const Sampled& candidate, const std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!isRight(values[i], candidate.before[i], candidate.after[i])) {
            return false;
        }
    }
    return true;
}

bool matches(const Signal& candidate, const std::vector<GradePoint>& points,
             const std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!isRight(values[i], leftValue(candidate, points[i].t), rightValue(candidate, points[i].t))) {
            return false;
        }
    }
    return true;
}

// "x(2t-1)", "x(-0.5t+3)"; "x(t) itself".
std::string xOf(double scale, double shift) {
    if (scale == 1 && shift == 0) {
        return "x(t) itself";
    }
    std::string text = "x(";
    text += scale == 1 ? "" : scale == -1 ? "-" : shortNumber(scale);
    text += "t";
    if (shift > 0) {
        text += "+";
    }
    if (shift != 0) {
        text += shortNumber(shift);
    }
    text += ")";
    return text;
}

std::string yMistake(const AnswerKey& key, const std::vector<GradePoint>& points,
                     const std::vector<double>& values) {
    for (double scale : {2.0, -2.0, 1.0, -1.0, 0.5, -0.5}) {
        for (int halves = -12; halves <= 12; ++halves) {
            const double shift = halves / 2.0;
            Signal candidate;
            if ((scale == key.scale && shift == key.shift) ||
                scaleTime(key.x, scale, shift, &candidate) != 0) {
                continue;
            }
            if (matches(candidate, points, values)) {
                return "your y(t) is " + xOf(scale, shift) + "; the exam asks for " +
                       xOf(key.scale, key.shift);
            }
        }
    }
    return "";
}

// The sloped pieces of x (the triangle) or its flat ones (the pulse), 0
// elsewhere.
Signal partOf(const Signal& x, bool sloped) {
    Signal part = x;
    for (Piece& piece : part.pieces) {
        if ((piece.c1 != 0) != sloped) {
            piece = {piece.from, piece.to, 0, 0, 0};
        }
    }
    return part;
}

Signal delayed(const Signal& signal, double by) {
    Signal result;
    scaleTime(signal, 1, -by, &result);
    return result;
}

// Where the part starts and its value of largest size.
void partShape(const Signal& part, double* start, double* peak) {
    *start = 0;
    *peak = 0;
    bool found = false;
    for (const Piece& piece : part.pieces) {
        if (piece.c0 == 0 && piece.c1 == 0) {
            continue;
        }
        if (!found) {
            *start = piece.from;
            found = true;
        }
        for (double t : {piece.from, piece.to}) {
            if (std::isfinite(t) && std::fabs(pieceValue(piece, t)) > std::fabs(*peak)) {
                *peak = pieceValue(piece, t);
            }
        }
    }
}

std::string xMistake(const AnswerKey& key, const std::vector<GradePoint>& points,
                     const std::vector<double>& values) {
    const Signal triangle = partOf(key.x, true);
    const Signal pulse = partOf(key.x, false);
    const Sampled triangleValues = sample(triangle, points);
    const Sampled pulseValues = sample(pulse, points);
    double triangleStart = 0, peak = 0, pulseStart = 0, height = 0;
    partShape(triangle, &triangleStart, &peak);
    partShape(pulse, &pulseStart, &height);

    if (height != 0 && matches(plus(triangleValues, pulseValues, -1), values)) {
        return "your pulse has the wrong sign: it should be " + shortNumber(height) + ", not " +
               shortNumber(-height);
    }
    for (int wrongPeak = -9; peak != 0 && wrongPeak <= 9; ++wrongPeak) {
        if (wrongPeak != 0 && wrongPeak != peak &&
            matches(plus(pulseValues, triangleValues, wrongPeak / peak), values)) {
            return "your triangle's peak is " + shortNumber(wrongPeak) + "; the exam's is " +
                   shortNumber(peak);
        }
    }
    for (int by = -6; by <= 6; ++by) {
        if (by == 0) {
            continue;
        }
        if (peak != 0 && matches(plus(pulseValues, sample(delayed(triangle, by), points), 1), values)) {
            return "your triangle starts at t = " + shortNumber(triangleStart + by) +
                   "; the exam's starts at t = " + shortNumber(triangleStart);
        }
        if (height != 0 && matches(plus(triangleValues, sample(delayed(pulse, by), points), 1), values)) {
            return "your pulse starts at t = " + shortNumber(pulseStart + by) +
                   "; the exam's starts at t = " + shortNumber(pulseStart);
        }
    }
    // Strict operators on both sides of a corner leave it to "otherwise".
    const std::vector<double> breakpoints = breakpointsOf(key.x);
    std::vector<std::string> corners;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double before = leftValue(key.x, points[i].t);
        const double after = rightValue(key.x, points[i].t);
        if (isRight(values[i], before, after)) {
            continue;
        }
        if (points[i].side != 0 || !contains(breakpoints, points[i].t) || !isRight(values[i], 0, 0)) {
            return "";
        }
        corners.push_back("t = " + shortNumber(points[i].t));
    }
    if (corners.empty()) {
        return "";
    }
    return "your x(t) is 0 at " + joinWithAnd(corners) +
           ", where two pieces meet: use <= or >= so that one of them takes it";
}

double roundCoefficient(double value) { return std::round(value * coefficientGrid) / coefficientGrid; }

std::size_t indexAt(const std::vector<GradePoint>& points, double t) {
    const auto found = std::lower_bound(points.begin(), points.end(), t,
                                        [](const GradePoint& point, double time) { return point.t < time; });
    return found != points.end() && found->t == t ? static_cast<std::size_t>(found - points.begin())
                                                  : points.size();
}

// Fits the student's values minus the key as a piecewise-linear signal that
// is 0 at first and may bend at every half unit. Returns 0 with `difference`
// when the key plus it gives the student's values everywhere, -1 otherwise.
int fitDifference(const Signal& expected, const std::vector<GradePoint>& points,
                  const std::vector<double>& values, Signal* difference) {
    const double first = points.front().t;
    const double last = points.back().t;
    Signal fitted;
    fitted.pieces.push_back({-infinity, std::ceil(first * 2) / 2, 0, 0, 0});
    const double start = fitted.pieces.back().to;
    for (int half = 0; start + half / 2.0 < last; ++half) {
        const double from = start + half / 2.0;
        const double to = std::min(from + 0.5, last);
        // Two grid times inside the piece, clear of the jumps at its ends.
        const double t1 = from + 1.0 / 64;
        const double t2 = to - 1.0 / 64;
        const std::size_t i1 = indexAt(points, t1);
        const std::size_t i2 = indexAt(points, t2);
        if (i1 >= values.size() || i2 >= values.size() || !(t1 < t2)) {
            return -1;
        }
        const double d1 = values[i1] - rightValue(expected, t1);
        const double d2 = values[i2] - rightValue(expected, t2);
        const double slope = roundCoefficient((d2 - d1) / (t2 - t1));
        const double c0 = roundCoefficient(d1 - slope * t1);
        // A difference from the very first time on is no missing term.
        if (!std::isfinite(slope) || !std::isfinite(c0) || (from == first && (slope != 0 || c0 != 0))) {
            return -1;
        }
        fitted.pieces.push_back({from, to, c0, slope, 0});
    }
    fitted.pieces.back().to = infinity;
    if (!matches(plus(sample(expected, points), sample(fitted, points), 1), values)) {
        return -1;
    }
    *difference = std::move(fitted);
    return 0;
}

// The nonzero pieces of a difference: "-t + 3 for 3 <= t <= 4, -1 for t >= 4".
std::string piecesText(const Signal& difference) {
    std::vector<Piece> merged;
    for (const Piece& piece : difference.pieces) {
        if (!merged.empty() && merged.back().c0 == piece.c0 && merged.back().c1 == piece.c1) {
            merged.back().to = piece.to;
        } else {
            merged.push_back(piece);
        }
    }
    std::vector<std::string> parts;
    for (const Piece& piece : merged) {
        if (piece.c0 == 0 && piece.c1 == 0) {
            continue;
        }
        const std::string where = piece.to == infinity ? "t >= " + shortNumber(piece.from)
                                                       : shortNumber(piece.from) + " <= t <= " +
                                                             shortNumber(piece.to);
        parts.push_back(formatPolynomial(piece) + " for " + where);
    }
    return joinWithAnd(parts);
}

std::string zMistake(const AnswerKey& key, const std::vector<GradePoint>& points,
                     const std::vector<double>& values) {
    Signal difference;
    std::vector<StepTerm> terms;
    if (fitDifference(key.y, points, values, &difference) != 0 || stepTerms(difference, &terms) != 0 ||
        terms.empty() || terms.size() > mostTermsNamed) {
        return "";
    }
    return "your z(t) differs from y(t) by " + formatStepSum(terms) +
           ": a term is missing or has the wrong sign";
}

std::string rMistake(const AnswerKey& key, const std::vector<GradePoint>& points,
                     const std::vector<double>& values) {
    if (matches(key.x, points, values)) {
        return "your r(t) is x(t) itself, not its running integral";
    }
    Signal flipped = key.x;
    for (Piece& piece : flipped.pieces) {
        if (piece.c1 == 0) {
            piece.c0 = -piece.c0;
        }
    }
    Signal wrongArea;
    if (runningIntegral(flipped, &wrongArea) == 0 && matches(wrongArea, points, values)) {
        return "your r(t) adds the pulse's area with the wrong sign";
    }
    Signal difference;
    std::vector<StepTerm> terms;
    if (fitDifference(key.r, points, values, &difference) != 0 || stepTerms(difference, &terms) != 0 ||
        terms.empty() || terms.size() > mostTermsNamed) {
        return "";
    }
    if (terms.size() == 1 && terms[0].ramp == 0) {
        return "from t = " + shortNumber(terms[0].at) + " on, your r(t) is off by " +
               shortNumber(terms[0].step) + ": an earlier area is not carried";
    }
    return "your r(t) is off by " + piecesText(difference);
}
}  // namespace

StudentRun readRun(const std::string& results, std::size_t pointCount, int status) {
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
        double value = 0;
        const auto [valueEnd, valueError] = std::from_chars(text, textEnd, value);
        run.values.push_back(valueError == std::errc{} && valueEnd == textEnd ? value : notANumber);
    }
    return run;
}

std::string shortNumber(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (value == 0) {
        return "0";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

Verdict judgeRun(const Signal& expected, const std::vector<GradePoint>& points,
                 const StudentRun& run, int timeLimitSeconds) {
    Verdict verdict;
    const std::vector<double> breakpoints = breakpointsOf(expected);
    WrongPlaces wrong;
    for (std::size_t i = 0; i < run.values.size() && i < points.size(); ++i) {
        const GradePoint& point = points[i];
        if (isRight(run.values[i], leftValue(expected, point.t), rightValue(expected, point.t))) {
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

std::string nameMistake(const AnswerKey& key, char function, const std::vector<GradePoint>& points,
                        const std::vector<double>& values) {
    if (values.size() != points.size() || matches(function == 'x'   ? key.x
                                                  : function == 'r' ? key.r
                                                                    : key.y,
                                                  points, values)) {
        return "";
    }
    // The answer file's functions before the student has written them.
    bool allZero = true;
    for (double value : values) {
        allZero = allZero && isRight(value, 0, 0);
    }
    if (allZero) {
        return std::string("your ") + function + "(t) is 0 at every time graded";
    }
    switch (function) {
    case 'x':
        return xMistake(key, points, values);
    case 'y':
        return yMistake(key, points, values);
    case 'z':
        return zMistake(key, points, values);
    case 'r':
        return rMistake(key, points, values);
    default:
        return "";
    }
}
