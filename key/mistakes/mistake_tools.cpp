#include "key/mistakes/mistake_tools.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "key/running/results.h"
#include "key/base/words.h"

std::string diagnosisHeadline(const std::string& text) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.substr(0, line.find(": "));
}

namespace {
// The headline as part of a sentence of its own.
std::string whatPart(const std::string& text) {
    std::string what = diagnosisHeadline(text);
    if (!what.empty() && what.back() == '.') {
        what.pop_back();
    }
    return what;
}

}  // namespace

Sampled sample(const Signal& signal, const std::vector<GradePoint>& points) {
    Sampled result;
    result.before.reserve(points.size());
    result.after.reserve(points.size());
    for (const GradePoint& point : points) {
        result.before.push_back(leftValue(signal, point.t));
        result.after.push_back(rightValue(signal, point.t));
    }
    return result;
}

Sampled sampleTerms(const std::vector<StepTerm>& terms, const std::vector<GradePoint>& points) {
    Sampled result;
    for (const GradePoint& point : points) {
        result.before.push_back(stepSum(terms, point.t, true));
        result.after.push_back(stepSum(terms, point.t));
    }
    return result;
}

Candidates::Candidates(char function, const Signal& expected, const std::vector<GradePoint>& points,
                       const std::vector<double>& values)
    : function_(function), expected_(expected), points_(points), values_(values) {}

bool Candidates::tryValues(const Sampled& candidate, const char* kind,
                           const std::function<std::string()>& words) {
    for (std::size_t i = 0; i < values_.size(); ++i) {
        if (!isRightValue(values_[i], candidate.before[i], candidate.after[i])) {
            return false;
        }
    }
    if (kind != nullptr) {
        note(kind, words());
    }
    return true;
}

bool Candidates::trySignal(const Signal& candidate, const char* kind,
                           const std::function<std::string()>& words) {
    return tryValues(sample(candidate, points_), kind, words);
}

void Candidates::note(const char* kind, const std::string& text) { fits_.push_back({kind, text}); }

Diagnosis Candidates::verdict() const {
    if (fits_.empty()) {
        return {};
    }
    for (const Diagnosis& fit : fits_) {
        if (fit.kind != fits_.front().kind) {
            return {uncertainKind, "two mistakes give exactly your values, so neither is certain: " +
                                       whatPart(fits_.front().text) + ", or " + whatPart(fit.text) + "."};
        }
    }
    return fits_.front();
}

bool Candidates::wrongOnlyAtSingleTimes() const {
    const auto wrongAt = [this](std::size_t i) {
        return !isRightValue(values_[i], leftValue(expected_, points_[i].t), rightValue(expected_, points_[i].t));
    };
    bool any = false;
    for (std::size_t i = 0; i < values_.size(); ++i) {
        if (wrongAt(i)) {
            if (points_[i].side != 0 || (i > 0 && wrongAt(i - 1)) || (i + 1 < values_.size() && wrongAt(i + 1))) {
                return false;
            }
            any = true;
        }
    }
    return any;
}

double Candidates::valueAt(double t) const {
    const auto found = std::lower_bound(points_.begin(), points_.end(), t,
                                        [](const GradePoint& point, double time) { return point.t < time; });
    if (found == points_.end() || found->t != t) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return values_[static_cast<std::size_t>(found - points_.begin())];
}

std::string Candidates::check(const std::vector<double>& times,
                              const std::function<std::string(double)>& keyWords) const {
    std::vector<double> tried = times;
    for (const GradePoint& point : points_) {
        if (point.side == 0 && point.t * 4 == std::floor(point.t * 4)) {
            tried.push_back(point.t);  // a round time, when none of those given tells
        }
    }
    for (double t : tried) {
        const double expected = leftValue(expected_, t);
        const double value = valueAt(t);
        const bool graded = t >= points_.front().t && t <= points_.back().t;
        if (!graded || expected != rightValue(expected_, t) || isRightValue(value, expected, expected) ||
            (std::isnan(value) && t * gridStepsPerUnit != std::floor(t * gridStepsPerUnit))) {
            continue;  // no point there, a jump, or a right value
        }
        return "Check: " + std::string(1, function_) + "(" + shortNumber(t) + ") should be " +
               (keyWords ? keyWords(t) : "") + shortNumber(expected) + "; yours gives " + shortNumber(value) + ".";
    }
    return "";
}

std::string yours(char function) { return "your " + std::string(1, function) + "(t)"; }

std::string signedTerm(double value) {
    std::string sign = value < 0 ? "" : "+";
    return sign + shortNumber(value);
}

std::string xOf(double scale, double shift) {
    std::string text = "x(";
    text += scale == 1 ? "" : scale == -1 ? "-" : shortNumber(scale);
    text += "t";
    if (shift != 0) {
        text += signedTerm(shift);
    }
    return text + ")";
}

