// check/: the menu's check of the student's answer file.
#pragma once

#include <string>

#include "platform/services.h"

// What inspectSource finds.
enum SourceState {
    sourceReady = 0,
    // No regular file that can be opened and read. A folder opens on POSIX
    // but cannot be read, and a compiler would take it for an empty file; a
    // named pipe would keep the open waiting.
    sourceUnreadable = 1,
    // It starts with the UTF-8 byte-order mark EF BB BF, which some editors
    // write and tcc reads as a stray token before the first line.
    sourceHasByteOrderMark = 2,
};

// Whether the file can be handed to the compiler, for the menu's check and
// for grading alike.
SourceState inspectSource(const char* path);

// What to tell a student whose file starts with the mark, and how to save it
// without; ends with a line end.
std::string byteOrderMarkMessage(const char* path);

// A compile of one file takes a second; a minute leaves room for a slow
// laptop whose antivirus scans the compiler's output.
constexpr int compileTimeLimitSeconds = 60;

// Checks that the file exists and that the C compiler accepts it (compile
// only, no link, within the time limit). Returns 0 when it does, -1
// otherwise (a compile stopped at the limit too); the compiler's own
// messages are the student's report of what is wrong, except for a file
// that starts with a byte-order mark, which is not compiled but explained.
int checkSignals(const char* path, const ExamServices& services);
