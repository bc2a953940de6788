// Whether a record is one the exam itself can have saved, so that the key
// never works out answers from bytes that no exam holds.
#pragma once

#include "record/record.h"

// What checkExamRecord finds.
enum RecordCheck {
    possibleExam = 0,
    noQuestionsYet = 1,  // a state before the questions, or questions never drawn
    impossibleRecord = -1,
};

// A possible exam has a known state; once its questions are made, an ID of
// 1 or more, group 1, 3 or 4, the Question 1 breakpoints in the one shape
// the exam draws, y(t) = x(2t + k) with k one of -3, -2, -1, 1, 2, and either
// no time window yet or one the exam draws, with an amplitude sign of +-1.
RecordCheck checkExamRecord(const ExamRecord& record);
