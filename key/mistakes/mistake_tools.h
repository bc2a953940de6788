// What the parts of the mistake catalogue share: candidate answers sampled
// at the grading points, the exam's numbers, and the "Check:" sentence.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "key/mistakes/diagnosis.h"
#include "key/running/points.h"
#include "key/model/answer_key.h"

// A signal's values just before and just after each grading point; a
// student's value is that of the candidate when it is either.
struct Sampled {
    std::vector<double> before;
    std::vector<double> after;
};

Sampled sample(const Signal& signal, const std::vector<GradePoint>& points);
Sampled sampleTerms(const std::vector<StepTerm>& terms, const std::vector<GradePoint>& points);

// The times of x's corners that follow from the exam's s and p: where its
// triangle peaks and ends, and where its pulse ends.
inline double peakTime(const ExamParameters& e) { return e.s + triangleWidth / 2.0; }
inline double triangleEnd(const ExamParameters& e) { return e.s + triangleWidth; }
inline double pulseEnd(const ExamParameters& e) { return e.p + pulseWidth; }
// Where y(t) = x(scale*t + k) is at x's time `xTime`.
inline double yTime(const ExamParameters& e, double xTime) { return (xTime - e.k) / e.scale; }
// How long y's triangle and pulse last: x's, compressed by the scale.
inline double yTriangleWidth(const ExamParameters& e) { return static_cast<double>(triangleWidth) / e.scale; }
inline double yPulseWidth(const ExamParameters& e) { return static_cast<double>(pulseWidth) / e.scale; }

// The candidates tried for one function, and those that fit.
class Candidates {
public:
    Candidates(char function, const Signal& expected, const std::vector<GradePoint>& points,
               const std::vector<double>& values);

    // Whether the values are those of `candidate`; if so, and `kind` is given,
    // the mistake is noted with the text `words` makes.
    bool tryValues(const Sampled& candidate, const char* kind, const std::function<std::string()>& words);
    bool trySignal(const Signal& candidate, const char* kind, const std::function<std::string()>& words);
    void note(const char* kind, const std::string& text);

    // One kind fits: it; two or more: neither for certain; none: empty.
    Diagnosis verdict() const;
    bool anyFit() const { return !fits_.empty(); }
    // Whether every wrong value is at a time of its own, its neighbours right.
    bool wrongOnlyAtSingleTimes() const;

    // "Check: y(0) should be x(1) = 3; yours gives 0." at the first of the
    // times where the key has no jump and the student's value differs, or at
    // a round wrong time; `keyWords` may name the key's value ("x(1) = ").
    std::string check(const std::vector<double>& times,
                      const std::function<std::string(double)>& keyWords = {}) const;

    char function() const { return function_; }
    const std::vector<GradePoint>& points() const { return points_; }
    const std::vector<double>& values() const { return values_; }
    // The student's value at a grading time; NaN when the time is no point.
    double valueAt(double t) const;

private:
    char function_;
    const Signal& expected_;
    const std::vector<GradePoint>& points_;
    const std::vector<double>& values_;
    std::vector<Diagnosis> fits_;
};

// "your y(t)", and a number as a signed term: "+0.5", "-1".
std::string yours(char function);
std::string signedTerm(double value);
// "x(2t+1)", "x(0.5t-1)", "x(t)".
std::string xOf(double scale, double shift);
