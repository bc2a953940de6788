#include "key/model/record_check.h"

#include "generate/exam_rules.h"
#include "key/model/exam_variants.h"

namespace {
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
    // The questions of every exam the rules allow are those of a variant.
    const bool possible = record.idNum >= 1 && isGroup(record.grpNum) &&
                          variantOfRecord(record) > 0 && isWindow(record);
    return possible ? possibleExam : impossibleRecord;
}
