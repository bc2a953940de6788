// exam/, the driver: the state machine (here) and the student's
// identification (identify.h).
//
// The exam driver: a machine of numbered states that saves the whole record
// after every step, so an interrupted exam resumes at the step it was in.
#pragma once

#include "platform/services.h"

// Runs the exam on the real console and returns the process exit status:
// 0 after a normal end, -1 when the student could not be identified, 1 when
// the workspace exists but cannot be read.
int runExam();

// The same, with the given services; tests pass scripted ones.
int runExamWith(const ExamServices& services);
