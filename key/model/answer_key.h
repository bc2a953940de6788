// The exact answers of one exam, worked out from the questions stored in its
// record: the signals x, y and r as pieces of polynomials, and y once more as
// a sum of shifted steps and ramps for Question 3.
#pragma once

#include <utility>
#include <vector>

#include "generate/exam_rules.h"
#include "record/record.h"

// One piece c0 + c1*t + c2*t*t of a signal, valid for from <= t <= to.
struct Piece {
    double from;
    double to;
    double c0;
    double c1;
    double c2;
};

// A signal on the whole time axis. Its pieces follow each other without gap
// or overlap: the first starts at -infinity, the last ends at +infinity, and
// each ends where the next starts. Where two neighbours meet at different
// values the signal jumps; no two neighbours share the same polynomial.
struct Signal {
    std::vector<Piece> pieces;
};

// step*u(t - at) + ramp*(t - at)*u(t - at).
struct StepTerm {
    double at;
    double step;
    double ramp;
};

struct AnswerKey {
    Signal x;
    Signal y;  // x(scale*t + shift)
    std::vector<StepTerm> z;  // y as steps and ramps
    Signal r;  // the running integral of x from -infinity
    int scale;
    int shift;
    ExamParameters exam;  // the numbers the questions were made of
    // Where the exam's plot shows x, and where that window lies for y.
    double xStart, xEnd;
    double yStart, yEnd;
};

// A signal through the corners (t, value), 0 before the first and after the
// last; two corners at one time make a jump, and a corner earlier than the
// one before it adds no piece.
Signal polyline(const std::vector<std::pair<double, double>>& corners);

// The polyline through the points (t[i], values[i]). Returns 0, or -1 when
// the times go backwards or count < 1.
int signalFromBreakpoints(const int* t, const int* values, int count, Signal* signal);

// The signal x(scale*t + shift). Returns 0, or -1 when scale is 0.
int scaleTime(const Signal& x, double scale, double shift, Signal* y);

// The integral of x from -infinity to t. Returns 0, or -1 when x is not 0
// before its first breakpoint or has a quadratic piece.
int runningIntegral(const Signal& x, Signal* r);

// Writes a piecewise-linear signal that is 0 before its first breakpoint as
// a sum of steps and ramps, one term per breakpoint where the value or the
// slope changes, in time order. The sum takes the right-hand value at a jump,
// as u(0) = 1 does. Returns 0, or -1 for any other signal.
int stepTerms(const Signal& y, std::vector<StepTerm>* terms);

// The value just before and just after t; they differ only at a jump.
// The times where the signal's pieces meet, in order.
std::vector<double> breakpointsOf(const Signal& signal);

double leftValue(const Signal& signal, double t);
double rightValue(const Signal& signal, double t);

double pieceValue(const Piece& piece, double t);
// The sum of the terms at t; justBefore: the value just before t, where a
// step at t has not yet risen.
double stepSum(const std::vector<StepTerm>& terms, double t, bool justBefore = false);

// Works out every answer from the record's Question 1 breakpoints and its
// Question 2 transform. Returns 0, or -1 when the record holds no questions
// that make a signal (not yet drawn, or damaged).
int makeAnswerKey(const ExamRecord& record, AnswerKey* key);
