// The menu's check of the student's answer file.
#pragma once

#include "exam/services.h"

// Checks that the file exists and that the C compiler accepts it (compile
// only, no link). Returns 0 when it does, -1 otherwise; the compiler's own
// messages are the student's report of what is wrong.
int checkSignals(const char* path, const ExamServices& services);
