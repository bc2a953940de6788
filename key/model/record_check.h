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
// 1 or more, one of the groups, and questions and either no time window yet
// or one the exam draws, with an amplitude sign of +-1, all within the
// exam's rules (generate/exam_rules.h).
RecordCheck checkExamRecord(const ExamRecord& record);
