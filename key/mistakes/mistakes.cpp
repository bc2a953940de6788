// The catalogue's order: the exam's own mistakes, worked out as values; a
// variable or a return the source leaves to chance, which fits any value
// and so is weighed with them; then, only where no value fits, C's other
// slips and, for r, where it jumps.
#include "key/mistakes/mistakes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "key/mistakes/mistake_tools.h"
#include "key/mistakes/mistakes_integrals.h"
#include "key/mistakes/mistakes_signals.h"
#include "key/running/results.h"
#include "key/base/words.h"

namespace {
// A jump smaller than this is a rounding of the student's, not a jump.
constexpr double smallestJump = 1e-3;
// A piece's limit at a breakpoint is rounded to this grid when that moves it
// by less than 1e-6: the exam's numbers are halves and quarters.
constexpr double limitGrid = 1024;

// The C slips the source shows that change values without an error, named
// only where no mistake of the exam's own gives the values.
void addSlipsOfC(const FunctionFacts& source, Candidates* candidates) {
    const std::string your = yours(candidates->function());
    const std::string check = candidates->check({});
    if (!source.integerDivision.empty()) {
        const std::string& division = source.integerDivision;
        const long quotient = std::strtol(division.c_str(), nullptr, 0) /
                              std::max(1L, std::strtol(division.c_str() + division.find('/') + 1, nullptr, 0));
        candidates->note("c.integer-division",
                         "in " + your + ", " + division + " divides two whole numbers, so C gives a whole "
                         "number: " + division + " is " + std::to_string(quotient) + ". Write 1.0/2, not 1/2.\n" + check);
    } else if (!source.absOfDouble.empty()) {
        candidates->note("c.abs-of-double",
                         your + " uses " + source.absOfDouble +
                             ": abs takes and gives an int in C, so the fraction is lost. "
                             "fabs from math.h keeps it.\n" + check);
    } else if (!source.equalityOnT.empty() && candidates->wrongOnlyAtSingleTimes()) {
        candidates->note("c.equality",
                         your + " tests " + source.equalityOnT +
                             " and is wrong only at single times: == on doubles holds at one exact "
                             "time; give a corner to a range with <= or >=.\n" + check);
    }
}

// A variable read before it is set, or a path without a return, gives
// whatever the stack or a register held: any value may be its.
void addUnsetValues(const FunctionFacts& source, Candidates* candidates) {
    const std::string your = yours(candidates->function());
    if (!source.unsetVariable.empty()) {
        candidates->note("c.unset-variable",
                         your + " can return " + source.unsetVariable +
                             " before setting it: C then gives whatever was there, which can change "
                             "from run to run. Set it on every path.\n" + candidates->check({}));
    } else if (source.mayEndWithoutReturn) {
        candidates->note("c.missing-return",
                         your + " can end without a return, as tcc's warning says: C then gives "
                         "whatever was left over. End every path with a return.\n" + candidates->check({}));
    }
}

// The value a piece of the student's takes at the breakpoint: from the point
// beside it and the grid point beyond, on a straight line.
double limitAt(const Candidates& candidates, std::size_t beside, double breakpoint, double gridStep) {
    const double t1 = candidates.points()[beside].t;
    const double t0 = breakpoint + (t1 < breakpoint ? -gridStep : gridStep);
    const double v1 = candidates.values()[beside];
    const double v0 = candidates.valueAt(t0);
    const double limit = std::isfinite(v0) ? v1 + (v1 - v0) / (t1 - t0) * (breakpoint - t1) : v1;
    // What is left of the line's error is far below what the exam's numbers show.
    const double rounded = std::round(limit * limitGrid) / limitGrid;
    return std::fabs(rounded - limit) < 1e-6 ? rounded : limit;
}

// Where the student's values jump beside a time where the key does not.
void addJumps(const Signal& expected, Candidates* candidates) {
    const std::vector<GradePoint>& points = candidates->points();
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        if (points[i].side != 0 || points[i - 1].side != -1 || points[i + 1].side != 1 ||
            leftValue(expected, points[i].t) != rightValue(expected, points[i].t)) {
            continue;
        }
        const double before = limitAt(*candidates, i - 1, points[i].t, gridStep);
        const double after = limitAt(*candidates, i + 1, points[i].t, gridStep);
        if (std::isfinite(before) && std::isfinite(after) && std::fabs(after - before) > smallestJump) {
            const std::string t = shortNumber(points[i].t);
            std::string text = "your r(t) jumps at t = ";
            text += t;
            text += ", from " + shortNumber(before) + " to " + shortNumber(after) +
                    ": a running integral never jumps, as an area grows smoothly.\n"
                    "Check: both pieces that meet at t = ";
            text += t;
            text += " must give the same value there.";
            candidates->note("r.jumps", text);
            return;
        }
    }
}

// A function `from` calls, itself or through others, that is written in
// pieces (a copy of x or y, or a helper of its own), other than u, x and y,
// which the remarks name by their own names; or "".
std::string piecewiseCallee(const SourceFacts& facts, const std::string& from) {
    std::vector<std::string> seen{from, "u", "x", "y"};
    for (std::size_t next = 0; next < seen.size(); ++next) {
        const FunctionFacts* function = next == 0 || next > 3 ? findFunction(facts, seen[next]) : nullptr;
        for (const std::string& callee : function != nullptr ? function->calls : std::vector<std::string>{}) {
            if (std::find(seen.begin(), seen.end(), callee) != seen.end()) {
                continue;
            }
            const FunctionFacts* called = findFunction(facts, callee);
            if (called != nullptr && called->comparisonsOfT >= 2) {
                return callee;
            }
            seen.push_back(callee);
        }
    }
    return "";
}

Diagnosis allZero(char function, const std::vector<double>& values) {
    for (double value : values) {
        if (!isRightValue(value, 0, 0)) {
            return {};
        }
    }
    return {"unwritten", yours(function) + " is 0 at every time graded: it still returns the answer file's 0."};
}
}  // namespace

Diagnosis diagnoseMistake(const AnswerKey& key, char function, const std::vector<GradePoint>& points,
                          const std::vector<double>& values, const MistakeClues& clues) {
    const Signal& expected = function == 'x' ? key.x : function == 'r' ? key.r : key.y;
    Candidates candidates(function, expected, points, values);
    if (values.size() != points.size() || candidates.trySignal(expected, nullptr, {})) {
        return {};
    }
    Diagnosis unwritten = allZero(function, values);
    if (!unwritten.kind.empty()) {
        return unwritten;
    }
    switch (function) {
    case 'x':
        addMistakesOfX(key, &candidates);
        break;
    case 'y':
        addMistakesOfY(key, &candidates);
        break;
    case 'z':
        addMistakesOfZ(key, clues, &candidates);
        break;
    case 'r':
        addMistakesOfR(key, &candidates);
        break;
    default:
        return {};
    }
    if (clues.source != nullptr) {
        addUnsetValues(*clues.source, &candidates);
        if (!candidates.anyFit()) {
            addSlipsOfC(*clues.source, &candidates);
        }
    }
    if (function == 'r' && !candidates.anyFit()) {
        addJumps(expected, &candidates);
    }
    return candidates.verdict();
}

std::vector<std::string> formRemarks(char function, const SourceFacts& facts) {
    const std::string name(1, function);
    const FunctionFacts* source = findFunction(facts, name);
    std::vector<std::string> remarks;
    if (source == nullptr) {
        return remarks;
    }
    const std::string helper = function == 'z' || function == 'y' ? piecewiseCallee(facts, name) : "";
    if (function == 'z') {
        const char* const steps = ": Question 3 asks for y(t) written with steps u(t) and ramps t*u(t) only.";
        std::string remark = source->comparisonsOfT >= 2 ? "is written in pieces, with comparisons of t"
                             : !helper.empty()           ? "calls " + helper + "(t), which is written in pieces"
                                                         : "";
        for (const char* other : {"y", "x"}) {
            if (remark.empty() && callsThrough(facts, "z", other)) {
                remark = std::string("calls ") + other + "(t)";
            }
        }
        if (!remark.empty()) {
            remarks.push_back("right values, but your z(t) " + remark + steps);
        }
    }
    if (function == 'y' && (callsThrough(facts, "y", "x") || !helper.empty())) {
        remarks.push_back("right values, but your y(t) calls " +
                          (callsThrough(facts, "y", "x") ? std::string("x(t)") : helper + "(t), written in pieces as x(t) is") +
                          ": Question 2 asks for the piecewise definition of y(t) itself.");
    }
    if (function != 'z' && !source->strictRanges.empty()) {
        remarks.push_back("right values, but " + source->strictRanges.front() +
                          " in your " + name + "(t) uses only < and >: the exam asks for inclusive "
                          "operators, <= or >=, where a piece meets the next.");
    }
    return remarks;
}
