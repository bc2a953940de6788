// The mistakes of Questions 1 and 2: x read off the plot, and y = x(2t + k).
#include "key/mistakes/mistakes_signals.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "key/running/results.h"
#include "key/base/words.h"

namespace {
// The peaks, slopes, moves and widths a student writes: small whole and half
// numbers, which is what a misread grid gives.
constexpr int largestWrongPeak = 9;
constexpr int largestMove = 3;
constexpr int largestIntercept = 12;  // in halves

Signal triangle(double start, double width, double peak) {
    return polyline({{start, 0}, {start + width / 2, peak}, {start + width, 0}});
}

Signal pulse(double start, double width, double height) {
    return polyline({{start, height}, {start + width, height}});
}

Sampled plus(Sampled a, const Sampled& b) {
    for (std::size_t i = 0; i < a.before.size(); ++i) {
        a.before[i] += b.before[i];
        a.after[i] += b.after[i];
    }
    return a;
}

std::string n(double value) { return shortNumber(value); }

void addTriangleMistakes(const ExamParameters& e, const Sampled& pulseValues, Candidates* c) {
    const auto& points = c->points();
    const std::string check = c->check({peakTime(e), e.s + 0.5, peakTime(e) + 0.5});
    for (int peak = -largestWrongPeak; peak <= largestWrongPeak + 1; ++peak) {
        const double wrong = peak > largestWrongPeak ? e.a / 2.0 : peak;
        if (wrong != 0 && wrong != e.a) {
            c->tryValues(plus(sample(triangle(e.s, triangleWidth, wrong), points), pulseValues), "x.peak", [&] {
                return "your triangle peaks at " + n(wrong) + ": read its peak off q1.png's grid, "
                       "at t = " + n(peakTime(e)) + "; the slopes of both sides follow from it.\n" + check;
            });
        }
    }
    for (int halves = -2 * largestMove; halves <= 2 * largestMove; ++halves) {
        const double by = halves / 2.0;
        if (by != 0) {
            c->tryValues(plus(sample(triangle(e.s + by, triangleWidth, e.a), points), pulseValues), "x.triangle-place", [&] {
                return "your triangle starts at t = " + n(e.s + by) + ", moved by " + n(by) +
                       ": read its corners off q1.png's t axis.\n" + check;
            });
        }
    }
}

// One side of the triangle redrawn: its slope through either end, or its offset.
// Each side lasts one unit of time, so that its slope is its change.
static_assert(triangleWidth == 2);

void addSideMistakes(const ExamParameters& e, const Sampled& pulseValues, Candidates* c) {
    const auto& points = c->points();
    const double s = e.s;
    const double top = peakTime(e);
    const double end = triangleEnd(e);
    const double a = e.a;
    // Where a side starts and ends, and its middle, where a check looks.
    const auto from = [&](int side) { return side == 0 ? s : top; };
    const auto to = [&](int side) { return side == 0 ? top : end; };
    const auto middle = [&](int side) { return from(side) + 0.5; };
    for (int slope = -largestWrongPeak; slope <= largestWrongPeak + 2; ++slope) {
        const double m = slope == largestWrongPeak + 1 ? a / 2 : slope == largestWrongPeak + 2 ? 2 * a : slope;
        if (m == a || m == 0) {
            continue;
        }
        const std::vector<std::vector<std::pair<double, double>>> sides[] = {
            {{{s, 0}, {top, m}, {top, a}, {end, 0}}, {{s, a - m}, {top, a}, {end, 0}}},
            {{{s, 0}, {top, a}, {end, a - m}, {end, 0}}, {{s, 0}, {top, a}, {top, m}, {end, 0}}},
        };
        for (int side = 0; side < 2; ++side) {
            for (const auto& corners : sides[side]) {
                c->tryValues(plus(sample(polyline(corners), points), pulseValues), "x.slope", [&] {
                    return std::string("your ") + (side == 0 ? "rising" : "falling") + " side has slope " +
                           n(side == 0 ? m : -m) + ": it must go from " + (side == 0 ? "0" : n(a)) + " at t = " +
                           n(from(side)) + " to " + (side == 0 ? n(a) : "0") + " at t = " + n(to(side)) +
                           ", a change of " + n(side == 0 ? a : -a) + " in one unit of time.\n" +
                           c->check({middle(side)});
                });
            }
        }
    }
    for (int halves = -largestIntercept; halves <= largestIntercept; ++halves) {
        const double d = halves / 2.0;
        for (int side = 0; d != 0 && side < 2; ++side) {
            const std::vector<std::pair<double, double>> corners =
                side == 0 ? std::vector<std::pair<double, double>>{{s, d}, {top, a + d}, {top, a}, {end, 0}}
                          : std::vector<std::pair<double, double>>{{s, 0}, {top, a}, {top, a + d}, {end, d}, {end, 0}};
            c->tryValues(plus(sample(polyline(corners), points), pulseValues), "x.intercept", [&] {
                return std::string("your ") + (side == 0 ? "rising" : "falling") +
                       " side has the right slope but is off by " + n(d) + ": its line must pass "
                       "through both of its corners.\n" +
                       c->check({middle(side)});
            });
        }
    }
}

void addPulseMistakes(const ExamParameters& e, const Sampled& triangleValues, Candidates* c) {
    const auto& points = c->points();
    const std::string check = c->check({e.p + 0.5, e.p - 0.5, pulseEnd(e) + 0.5});
    c->tryValues(plus(triangleValues, sample(pulse(e.p, pulseWidth, -e.b), points)), "x.pulse-sign", [&] {
        return "your pulse is " + n(-e.b) + ", the wrong sign: q1.png's pulse goes " +
               (e.b < 0 ? "below" : "above") + " the t axis.\n" + check;
    });
    for (int halves = -2 * largestMove; halves <= 2 * largestMove; ++halves) {
        const double by = halves / 2.0;
        if (by != 0) {
            c->tryValues(plus(triangleValues, sample(pulse(e.p + by, pulseWidth, e.b), points)), "x.pulse-place", [&] {
                return "your pulse starts at t = " + n(e.p + by) + ", moved by " + n(by) +
                       ": read its jumps off q1.png's t axis.\n" + check;
            });
        }
    }
    for (double width : {0.5, 1.5, 2.0, 3.0}) {
        for (double start : {static_cast<double>(e.p), pulseEnd(e) - width}) {
            c->tryValues(plus(triangleValues, sample(pulse(start, width, e.b), points)), "x.pulse-width", [&] {
                return "your pulse lasts " + n(width) + ", from t = " + n(start) + " to t = " + n(start + width) +
                       ": q1.png's pulse lasts one unit of time.\n" + check;
            });
        }
    }
}

// Strict operators on both sides of a corner leave it to "otherwise".
void addStrictCorners(const AnswerKey& key, Candidates* c) {
    const auto& points = c->points();
    const auto& values = c->values();
    const std::vector<double> xCorners = breakpointsOf(key.x);
    std::vector<double> corners;
    std::vector<std::string> places;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double before = leftValue(key.x, points[i].t);
        const double after = rightValue(key.x, points[i].t);
        if (isRightValue(values[i], before, after)) {
            continue;
        }
        const bool corner = std::find(xCorners.begin(), xCorners.end(), points[i].t) != xCorners.end();
        if (points[i].side != 0 || !corner || std::fabs(values[i]) > gradeTolerance) {
            return;
        }
        corners.push_back(points[i].t);
        places.push_back("t = " + n(points[i].t));
    }
    if (!corners.empty()) {
        c->note("x.strict-corner", "your x(t) is 0 at " + joinWithAnd(places) + ", where two pieces meet: with < and > "
                "on both sides neither piece takes it; use <= or >= so that one does.\n" + c->check(corners));
    }
}

// One part of y in the wrong place, the other right: a corner worked out by
// hand from x's. A corner of y is where 2t + k reaches x's corner.
void addPartMoves(const ExamParameters& e, const Sampled& triangleValues, const Sampled& pulseValues,
                  Candidates* c) {
    const auto& points = c->points();
    const auto xAt = [&e](double t) { return "x(" + n(e.scale * t + e.k) + ") = "; };
    const double t0 = yTime(e, e.s);
    const double q0 = yTime(e, e.p);
    for (int quarters = -4 * largestMove; quarters <= 4 * largestMove; ++quarters) {
        const double by = quarters / 4.0;
        if (by == 0) {
            continue;
        }
        c->tryValues(plus(sample(triangle(t0 + by, yTriangleWidth(e), e.a), points), pulseValues), "y.triangle-place", [&] {
            return yours(c->function()) + "'s triangle starts at t = " + n(t0 + by) +
                   ": each corner of y is where 2t" + signedTerm(e.k) + " reaches a corner of x, so the "
                   "triangle starts where 2t" + signedTerm(e.k) + " = " + n(e.s) + ".\n" +
                   c->check({t0 + 0.5, t0 + 0.25}, xAt);
        });
        c->tryValues(plus(triangleValues, sample(pulse(q0 + by, yPulseWidth(e), e.b), points)), "y.pulse-place", [&] {
            return yours(c->function()) + "'s pulse starts at t = " + n(q0 + by) +
                   ": each corner of y is where 2t" + signedTerm(e.k) + " reaches a corner of x, so the "
                   "pulse starts where 2t" + signedTerm(e.k) + " = " + n(e.p) + ".\n" +
                   c->check({q0 + 0.25, q0 + by + 0.25}, xAt);
        });
    }
}

// The texts of a wrong transform speak of the exam's own: compressed by 2,
// its moves halved.
static_assert(timeScale == 2);

// "x(2(t+0.5))".
std::string compressed(double shift) { return "x(2(t" + signedTerm(shift) + "))"; }

std::string transformText(int k, double scale, double shift) {
    const double c = k / 2.0;
    const std::string asked = xOf(2, k) + " = " + compressed(c);
    const std::string way = c > 0 ? "left" : "right";
    const std::string mine = "is " + xOf(scale, shift);
    if (scale == 2 && shift == 2 * k) {
        return "is " + compressed(k) + " = " + xOf(2, shift) + ": in " + asked +
               " the shift after compressing is " + n(std::fabs(c)) + ", not " + n(std::abs(k));
    }
    if (scale == 2 && shift == c) {
        return mine + ": moving by " + n(std::fabs(c)) + " before compressing halves the move; " + asked +
               " is compressed, then moved " + way + " by " + n(std::fabs(c));
    }
    if (scale == 2 && (shift == -k || shift == -2 * k || shift == -c)) {
        return mine + ", moved the wrong way: " + compressed(c) + " is moved " + way + " by " + n(std::fabs(c)) +
               ", as y(t) takes x's value at the " + (c > 0 ? "later" : "earlier") + " time 2(t" + signedTerm(c) + ")";
    }
    if (scale == 2 && shift == 0) {
        return mine + ", compressed but not moved: " + asked + " is also moved " + way + " by " + n(std::fabs(c));
    }
    if (scale == 1 && shift == 0) {
        return "is x(t) itself: " + asked + " is x compressed by 2 and moved " + way + " by " + n(std::fabs(c));
    }
    if (scale == 1) {
        return mine + ", moved but not compressed: the 2 in " + xOf(2, k) + " squeezes x to half its width";
    }
    if (std::fabs(scale) == 0.5) {
        return mine + ", stretched, not compressed: in " + xOf(2, k) +
               " y at time t is x at twice that time, so y is x squeezed to half its width";
    }
    if (scale < 0) {
        return mine + ", reversed in time: the 2 of " + xOf(2, k) + " is positive";
    }
    return mine + ", compressed, but moved by " + n(-shift / 2) + " where " + asked + " moves it by " + n(-c);
}

const char* transformKind(int k, double scale, double shift) {
    if (scale == 2) {
        return shift == 2 * k ? "y.shift-not-halved"
               : shift == k / 2.0 ? "y.order"
               : shift == -k || shift == -2 * k || shift == -k / 2.0 ? "y.direction"
               : shift == 0 ? "y.not-shifted"
                            : "y.shift";
    }
    return scale == 1 ? (shift == 0 ? "y.is-x" : "y.not-compressed") : std::fabs(scale) == 0.5 ? "y.stretched"
                                                                                            : "y.reversed";
}
// y as x under another transform than the exam's: scaled and moved wrong.
void addWrongTransforms(const AnswerKey& key, const std::string& mine, const std::string& check, Candidates* c) {
    for (double scale : {2.0, -2.0, 1.0, -1.0, 0.5, -0.5}) {
        for (int halves = -2 * largestIntercept; halves <= 2 * largestIntercept; ++halves) {
            const double shift = halves / 2.0;
            Signal candidate;
            if ((scale == key.scale && shift == key.shift) || scaleTime(key.x, scale, shift, &candidate) != 0) {
                continue;
            }
            c->trySignal(candidate, transformKind(key.exam.k, scale, shift),
                         [&] {
                             std::string text = mine;
                             text += transformText(key.exam.k, scale, shift) + ".\n";
                             text += check;
                             return text;
                         });
        }
    }
}

// y's triangle or pulse with its height scaled as its time was.
void addScaledHeights(const ExamParameters& e, const Sampled& triangleValues, const Sampled& pulseValues,
                      const std::string& mine, const std::string& check, Candidates* c) {
    const auto& points = c->points();
    const double t0 = yTime(e, e.s);
    const double q0 = yTime(e, e.p);
    for (double factor : {2.0, 0.5}) {
        c->tryValues(plus(sample(triangle(t0, yTriangleWidth(e), e.a * factor), points), pulseValues), "y.heights", [&] {
            std::string text = mine;
            text += "peaks at " + n(e.a * factor) + ", x's peak times " + n(factor) +
                    ": compressing in time leaves every height as it is.\n";
            text += check;
            return text;
        });
        c->tryValues(plus(triangleValues, sample(pulse(q0, yPulseWidth(e), e.b * factor), points)), "y.heights", [&] {
            std::string text = mine;
            text += "has a pulse of " + n(e.b * factor) + ", x's height times " + n(factor) +
                    ": compressing in time leaves every height as it is.\n";
            text += check;
            return text;
        });
    }
}
}  // namespace

void addMistakesOfX(const AnswerKey& key, Candidates* candidates) {
    const ExamParameters& e = key.exam;
    const Sampled triangleValues = sample(triangle(e.s, triangleWidth, e.a), candidates->points());
    const Sampled pulseValues = sample(pulse(e.p, pulseWidth, e.b), candidates->points());
    addPulseMistakes(e, triangleValues, candidates);
    addTriangleMistakes(e, pulseValues, candidates);
    addSideMistakes(e, pulseValues, candidates);
    addStrictCorners(key, candidates);
}

void addMistakesOfY(const AnswerKey& key, Candidates* c) {
    const ExamParameters& e = key.exam;
    const auto& points = c->points();
    const double t0 = yTime(e, e.s);  // where y's triangle starts, and its pulse
    const double q0 = yTime(e, e.p);
    const auto xAt = [&e](double t) { return "x(" + n(e.scale * t + e.k) + ") = "; };
    const std::string check = c->check({0, t0 + 0.5, q0 + 0.25, t0 + 0.25}, xAt);
    const std::string mine = yours(c->function()) + " ";
    addWrongTransforms(key, mine, check, c);
    // Heights scaled with time, slopes not, or a pulse left as wide as x's.
    const Sampled pulseValues = sample(pulse(q0, yPulseWidth(e), e.b), points);
    const Sampled triangleValues = sample(triangle(t0, yTriangleWidth(e), e.a), points);
    addScaledHeights(e, triangleValues, pulseValues, mine, check, c);
    const std::vector<std::pair<double, double>> unscaled[] = {
        {{t0, 0}, {t0 + 0.5, e.a / 2.0}, {t0 + 1, 0}},
        {{t0, e.a / 2.0}, {t0 + 0.5, e.a}, {t0 + 1, e.a / 2.0}},
        {{t0, 0}, {t0 + 1, e.a}, {t0 + 2, 0}},
        {{t0 - 0.5, 0}, {t0 + 0.5, e.a}, {t0 + 1.5, 0}},
    };
    for (const auto& corners : unscaled) {
        c->tryValues(plus(sample(polyline(corners), points), pulseValues), "y.slopes", [&] {
            std::string text = mine;
            text += "keeps x's slopes " + n(e.a) + " and " + n(-e.a) + ": y(t) = " + xOf(e.scale, e.k) +
                    " changes twice as fast as x, so its sides are twice as steep.\n";
            text += check;
            return text;
        });
    }
    for (double start : {q0, q0 - 0.5, q0 - 0.25}) {
        c->tryValues(plus(triangleValues, sample(pulse(start, pulseWidth, e.b), points)), "y.pulse-width", [&] {
            std::string text = mine;
            text += "has a pulse from t = " + n(start) + " to t = " + n(start + 1) +
                    ", as long as x's: compressed by 2 it lasts half as long.\n";
            text += check;
            return text;
        });
    }
    addPartMoves(e, triangleValues, pulseValues, c);
}
