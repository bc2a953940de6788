// exam/, the driver: the state machine (here) and the student's
// identification (identify.h).
//
// The exam driver: a machine of numbered states that saves the whole record
// after every step, so an interrupted exam resumes at the step it was in.
#pragma once

#include "platform/services.h"

// Runs the exam on the real console and returns the process exit status:
// 0 after a normal end, -1 when the student could not be identified, 1 when
// the workspace exists but cannot be read or another copy of the exam runs
// in the folder.
int runExam();

// The same, with the given services, and without the folder's lock; tests
// pass scripted ones.
int runExamWith(const ExamServices& services);
