// The menu's check of the student's answer file.
#pragma once

#include "exam/services.h"

// Whether the file is a regular file that can be opened and read. A folder
// opens on POSIX but cannot be read, and a compiler would take it for an
// empty file; a named pipe would keep the open waiting.
bool isReadableSource(const char* path);

// Checks that the file exists and that the C compiler accepts it (compile
// only, no link). Returns 0 when it does, -1 otherwise; the compiler's own
// messages are the student's report of what is wrong.
int checkSignals(const char* path, const ExamServices& services);
