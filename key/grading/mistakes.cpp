#include "key/grading/mistakes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "key/grading/results.h"
#include "key/grading/verdict.h"
#include "key/model/key_text.h"

namespace {
constexpr double infinity = std::numeric_limits<double>::infinity();

// Beyond this many pieces a named difference says less than the plot does.
constexpr std::size_t mostTermsNamed = 4;
// Fitted coefficients are rounded to this grid; a student's slips are
// halves and whole numbers, and the final match checks the rounding.
constexpr double coefficientGrid = 1024;

// How far the catalogue looks for a slip: a shift of y's argument of up to
// 6 units (in halves), a triangle's peak of up to 9 either way, and a part
// of x moved by up to 6 units. The exam's own numbers lie well inside.
constexpr int largestShiftInHalves = 12;
constexpr int largestPeak = 9;
constexpr int largestDelay = 6;

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
        if (!isRightValue(values[i], candidate.before[i], candidate.after[i])) {
            return false;
        }
    }
    return true;
}

bool matches(const Signal& candidate, const std::vector<GradePoint>& points,
             const std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!isRightValue(values[i], leftValue(candidate, points[i].t), rightValue(candidate, points[i].t))) {
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
        for (int halves = -largestShiftInHalves; halves <= largestShiftInHalves; ++halves) {
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
    for (int wrongPeak = -largestPeak; peak != 0 && wrongPeak <= largestPeak; ++wrongPeak) {
        if (wrongPeak != 0 && wrongPeak != peak &&
            matches(plus(pulseValues, triangleValues, wrongPeak / peak), values)) {
            return "your triangle's peak is " + shortNumber(wrongPeak) + "; the exam's is " +
                   shortNumber(peak);
        }
    }
    for (int by = -largestDelay; by <= largestDelay; ++by) {
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
        if (isRightValue(values[i], before, after)) {
            continue;
        }
        if (points[i].side != 0 || !std::binary_search(breakpoints.begin(), breakpoints.end(), points[i].t) || !isRightValue(values[i], 0, 0)) {
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
        const double t1 = from + gridStep;
        const double t2 = to - gridStep;
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
        allZero = allZero && isRightValue(value, 0, 0);
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
