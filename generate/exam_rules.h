// The exam's rules: what its questions can be. The exam draws within them,
// and the key checks a record and numbers the variants by the same ones.
#pragma once

#include <string>

#include "record/record.h"

// Question 1: a triangle from s to s + triangleWidth with its peak a in its
// middle, and a pulse of height b (-1 or 1) from p to p + pulseWidth.
constexpr int firstTriangleStart = -1;  // s: -1 to 3
constexpr int triangleStartCount = 5;
constexpr int triangleWidth = 2;
constexpr int smallestPeak = 2;         // a: 2 or 3
constexpr int peakCount = 2;
constexpr int pulseDelay = 3;           // p: s + 3 or s + 4
constexpr int pulseDelayCount = 2;
constexpr int pulseWidth = 1;
constexpr int pulseHeightCount = 2;     // b: -1 or 1
// Where q1.png shows x: its first and last breakpoint.
constexpr int q1PlotStart = -2;
constexpr int q1PlotEnd = 8;

// Question 2: y(t) = x(timeScale*t + k), k from -shiftRange to
// shiftRange - 1 and never 0.
constexpr int timeScale = 2;
constexpr int shiftRange = 3;
constexpr int shiftCount = 2 * shiftRange - 1;

// The numbers one exam's questions are made of.
struct ExamParameters {
    int s;      // where x's triangle starts
    int a;      // its peak
    int p;      // where x's pulse starts
    int b;      // its height
    int scale;  // y(t) = x(scale*t + k)
    int k;
};

// Writes Question 1 into the record from the exam's s, a, p and b: s, and
// the breakpoints from q1PlotStart to q1PlotEnd, as one 96-byte block in a
// single copy.
void writeQuestion1(const ExamParameters& exam, ExamRecord* record);

// The parameters of the exam a record holds, read from its breakpoints where
// writeQuestion1 put them and from its Question 2 fields. Meaningful
// for a record whose questions are made (questionsAreMade).
ExamParameters examParameters(const ExamRecord& record);

// The allowed shifts in increasing order: place 0 to shiftCount - 1.
int question2ShiftAt(int place);

// Question 2's transform as the exam writes it: "y(t) = x(2t-1)".
std::string formatTransform(int scale, int shift);

// The typeset exam's window: a start of 0 to 1.5 in quarters, a quarter wide.
constexpr double windowStep = 0.25;
constexpr int windowStartCount = 7;

// The course's groups: 1, 3 and 4.
bool isGroup(long group);

// Whether the exam had made its questions when the record was saved: the
// states before them (Restore, Identify) draw them anew.
bool questionsAreMade(const ExamRecord& record);

// What "q1plot.dat" holds for the record: a "t x" line per breakpoint.
std::string question1PlotData(const ExamRecord& record);
