#include "key/model/record_check.h"

#include <algorithm>
#include <cstdint>

#include "generate/exam_rules.h"

namespace {
// Question 1 in the one shape the exam draws.
bool isQuestion1(const ExamRecord& r) {
    const int s = r.q1T[1];
    const int p = r.q1T[4];
    const int a = r.q1X[2];
    const int b = r.q1X[5];
    if (s < firstTriangleStart || s >= firstTriangleStart + triangleStartCount || r.q1Shift != s ||
        (p != s + pulseDelay && p != s + pulseDelay + 1) || a < smallestPeak ||
        a >= smallestPeak + peakCount || (b != 1 && b != -1)) {
        return false;
    }
    std::int32_t t[q1PointCount];
    std::int32_t x[q1PointCount];
    question1Breakpoints(s, a, p, b, t, x);
    return std::equal(t, t + q1PointCount, r.q1T) && std::equal(x, x + q1PointCount, r.q1X);
}

bool isWindow(const ExamRecord& r) {
    if (r.varAmp == 0) {
        return r.varTstart == 0 && r.varTend == 0;  // not drawn yet
    }
    if (r.varAmp != 1 && r.varAmp != -1) {
        return false;
    }
    for (int step = 0; step < windowStartCount; ++step) {
        if (r.varTstart == step * windowStep && r.varTend == r.varTstart + windowStep) {
            return true;
        }
    }
    return false;  // NaN and infinities included
}

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
    const bool possible = record.idNum >= 1 && isGroup(record.grpNum) && isQuestion1(record) &&
                          record.varQK == timeScale && isQuestion2Shift(record.varQT) &&
                          isWindow(record);
    return possible ? possibleExam : impossibleRecord;
}
