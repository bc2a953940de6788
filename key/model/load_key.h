// The key of the exam in the working folder, read from its exam.dat.
#pragma once

#include "key/model/answer_key.h"
#include "record/record.h"

// What loadAnswerKey returns for a record that no exam can hold.
constexpr int notAnExam = -2;

// Reads "exam.dat" in the working folder and works out its answers.
// Returns 0, or after saying on stderr why there is no key: notAnExam for a
// record no exam can hold, -1 for no workspace, an unreadable or short one,
// or an exam that has not made its questions.
int loadAnswerKey(ExamRecord* record, AnswerKey* key);
