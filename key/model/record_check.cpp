#include "key/model/record_check.h"

#include "key/model/answer_key.h"

namespace {
// Question 1 as makeQuestion1 draws it: a triangle of peak 2 or 3 from s to
// s + 2, s from -1 to 3, and a pulse of height +-1 from p to p + 1, p = s + 3
// or s + 4; written as breakpoints from -2 to 8.
bool isQuestion1(const ExamRecord& r) {
    const int s = r.q1T[1];
    const int p = r.q1T[4];
    const int a = r.q1X[2];
    const int b = r.q1X[5];
    if (s < -1 || s > 3 || r.q1Shift != s || (p != s + 3 && p != s + 4) || (a != 2 && a != 3) ||
        (b != 1 && b != -1)) {
        return false;
    }
    const int t[q1PointCount] = {-2, s, s + 1, s + 2, p, p, p + 1, p + 1, 8, 8, 8};
    const int x[q1PointCount] = {0, 0, a, 0, 0, b, b, 0, 0, 0, 0};
    for (int i = 0; i < q1PointCount; ++i) {
        if (r.q1T[i] != t[i] || r.q1X[i] != x[i]) {
            return false;
        }
    }
    return true;
}

// makeWindow draws a start of 0 to 1.5 in quarters, a quarter wide.
bool isWindow(const ExamRecord& r) {
    if (r.varAmp == 0) {
        return r.varTstart == 0 && r.varTend == 0;  // not drawn yet
    }
    if (r.varAmp != 1 && r.varAmp != -1) {
        return false;
    }
    for (int quarter = 0; quarter <= 6; ++quarter) {
        if (r.varTstart == quarter * 0.25 && r.varTend == r.varTstart + 0.25) {
            return true;
        }
    }
    return false;  // NaN and infinities included
}

bool isShift(int k) { return k >= -3 && k <= 2 && k != 0; }

// A refused ID exits before any question is drawn: all still zero.
bool noQuestionDrawn(const ExamRecord& r) {
    for (int i = 0; i < q1PointCount; ++i) {
        if (r.q1T[i] != 0 || r.q1X[i] != 0) {
            return false;
        }
    }
    return r.q1Shift == 0 && r.varQT == 0 && r.varQK == 0;
}
}  // namespace

RecordCheck checkExamRecord(const ExamRecord& record) {
    if (record.state < Restore || record.state > Exiting) {
        return impossibleRecord;
    }
    if (!questionsAreMade(record) || noQuestionDrawn(record)) {
        return noQuestionsYet;
    }
    const bool possible = record.idNum >= 1 &&
                          (record.grpNum == 1 || record.grpNum == 3 || record.grpNum == 4) &&
                          isQuestion1(record) && record.varQK == 2 && isShift(record.varQT) &&
                          isWindow(record);
    return possible ? possibleExam : impossibleRecord;
}
