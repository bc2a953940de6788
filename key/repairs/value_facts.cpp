// Facts are read off the values alone, and only where they are exact: a
// difference that is the same at every wrong time, a piece whose values lie
// on one line or one parabola. Anything else says nothing.
#include "key/repairs/value_facts.h"

#include <algorithm>
#include <cmath>

#include "key/mistakes/mistake_tools.h"
#include "key/running/results.h"
#include "key/base/words.h"

namespace {
// Closer than this everywhere is "close, not exact".
constexpr double closeEnough = 0.01;
constexpr double sameDifference = 1e-7;

struct Shape {
    int degree = -1;  // 0 constant, 1 a line, 2 a parabola, -1 neither
    double slope = 0;  // at the first time, for a line its slope
};

// The polynomial of degree at most 2 through every (t, v), if there is one.
Shape shapeOf(const std::vector<double>& times, const std::vector<double>& values) {
    if (times.size() < 4) {
        return {};
    }
    auto onCurve = [&](int degree, double a, double b, double c) {
        for (std::size_t i = 0; i < times.size(); ++i) {
            const double d = times[i] - times[0];
            const double expected = a + b * d + (degree == 2 ? c * d * d : 0);
            if (std::fabs(values[i] - expected) > sameDifference * std::max(1.0, std::fabs(expected))) {
                return false;
            }
        }
        return true;
    };
    const double h1 = times[1] - times[0];
    const double h2 = times[2] - times[0];
    const double b = (values[1] - values[0]) / h1;
    if (onCurve(1, values[0], b, 0)) {
        return {std::fabs(b) < 1e-9 ? 0 : 1, std::fabs(b) < 1e-9 ? 0 : b};
    }
    // Through the first three points: v = a + b d + c d^2.
    const double c = ((values[2] - values[0]) / h2 - b) / (h2 - h1);
    const double b2 = b - c * h1;
    return onCurve(2, values[0], b2, c) ? Shape{2, b2} : Shape{};
}

std::string rounded(double value) { return shortNumber(std::round(value * 1e6) / 1e6); }

// A fact about one piece of the key where the student's values differ.
Diagnosis pieceFact(char function, const Piece& piece, const std::vector<double>& times,
                    const std::vector<double>& values) {
    const Shape shape = shapeOf(times, values);
    const std::string where = "for " + rounded(std::isfinite(piece.from) ? piece.from : times.front()) + " < t < " +
                              rounded(std::isfinite(piece.to) ? piece.to : times.back());
    const std::string your = yours(function);
    const bool keyLine = piece.c2 == 0 && piece.c1 != 0;
    const bool keyConstant = piece.c2 == 0 && piece.c1 == 0;
    if (shape.degree == 2 && piece.c2 == 0) {
        return {"fact.parabola", where + ", " + your + " curves, as a parabola does, where it should be a " +
                                     (keyConstant ? "constant" : "straight line") + "."};
    }
    if (shape.degree == 1 && piece.c2 != 0) {
        return {"fact.line", where + ", " + your + " is a straight line of slope " + rounded(shape.slope) +
                                 ", where it should curve, as a parabola does."};
    }
    if (shape.degree == 1 && keyConstant) {
        return {"fact.not-constant", where + ", " + your + " changes with slope " + rounded(shape.slope) +
                                         ", where it should stay constant."};
    }
    if (shape.degree == 0 && keyLine) {
        return {"fact.constant", where + ", " + your + " stays at " + rounded(values.front()) +
                                     ", where it should " + (piece.c1 > 0 ? "rise." : "fall.")};
    }
    if (shape.degree == 1 && keyLine && (shape.slope > 0) != (piece.c1 > 0)) {
        return {"fact.slope-sign", where + ", " + your + (shape.slope > 0 ? " rises" : " falls") + " with slope " +
                                       rounded(shape.slope) + ", where it should " +
                                       (piece.c1 > 0 ? "rise." : "fall.")};
    }
    if (shape.degree == 1 && keyLine && std::fabs(shape.slope - piece.c1) > 1e-7) {
        return {"fact.slope-size", where + ", " + your + " has slope " + rounded(shape.slope) +
                                       ": the right sign, not the right size."};
    }
    return {};
}

// The same difference at every wrong time, or NaN.
double commonDifference(const Signal& expected, const std::vector<GradePoint>& points,
                        const std::vector<double>& values, const std::vector<std::size_t>& wrong) {
    double common = std::nan("");
    for (std::size_t i : wrong) {
        if (points[i].side != 0) {
            continue;  // beside a jump either side's value is the key's
        }
        const double difference = values[i] - leftValue(expected, points[i].t);
        if (std::isnan(common)) {
            common = difference;
        } else if (std::fabs(difference - common) > sameDifference) {
            return std::nan("");
        }
    }
    return common;
}
}  // namespace

Diagnosis valueFacts(char function, const Signal& expected, const std::vector<GradePoint>& points,
                     const std::vector<double>& values, const std::string& check) {
    if (values.size() != points.size()) {
        return {};
    }
    std::vector<std::size_t> wrong;
    double largest = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double before = leftValue(expected, points[i].t);
        const double after = rightValue(expected, points[i].t);
        if (!isRightValue(values[i], before, after)) {
            wrong.push_back(i);
            largest = std::max(largest, std::min(std::fabs(values[i] - before), std::fabs(values[i] - after)));
        }
    }
    if (wrong.empty() || !std::isfinite(largest)) {
        return {};
    }
    const std::string your = yours(function);
    const std::string from = shortNumber(points[wrong.front()].t);
    const std::string to = shortNumber(points[wrong.back()].t);
    const std::string span = "from t = " + from + (wrong.back() + 1 == points.size() ? " on" : " to t = " + to);
    const double difference = commonDifference(expected, points, values, wrong);
    if (std::isfinite(difference) && wrong.size() > 2) {
        return {"fact.offset", your + " is off by the same " + rounded(difference) + " at every time it is wrong, " +
                                   span + ": its shape is right there, its level is not.\n" + check};
    }
    if (largest < closeEnough) {
        return {"fact.close", your + " is never more than " + shortNumber(largest) + " from the right value, " +
                                  span + ", but the grading asks for 1e-9: close, not exact.\n" + check};
    }
    for (const Piece& piece : expected.pieces) {
        std::vector<double> times;
        std::vector<double> inside;
        bool wrongHere = false;
        for (std::size_t i : wrong) {
            wrongHere = wrongHere || (points[i].t > piece.from && points[i].t < piece.to);
        }
        for (std::size_t i = 0; i < points.size() && wrongHere; ++i) {
            if (points[i].side == 0 && points[i].t > piece.from && points[i].t < piece.to &&
                points[i].t == points[i].near && std::isfinite(values[i])) {
                times.push_back(points[i].t);
                inside.push_back(values[i]);
            }
        }
        Diagnosis fact = wrongHere ? pieceFact(function, piece, times, inside) : Diagnosis{};
        if (!fact.kind.empty()) {
            fact.text += "\n" + check;
            return fact;
        }
    }
    return {};
}
