// What the Windows files of platform/ share: the running of a program in a
// job (children_windows.cpp), which the fence (fence_windows.cpp) tightens,
// and the console's control handlers (signals_windows.cpp).
#pragma once

#include <windows.h>

#include <string>

#include "platform/run_result.h"

bool isFile(const std::string& path);

// This program's own path, "" when Windows cannot say it.
std::string ownProgramPath();

// The command interpreter reads a quoted program name whole.
std::string quotedIfBlank(const std::string& program);

// The course's tcc: beside the exam folder, or beside the folder of the key
// itself when it works elsewhere. "" when there is neither.
std::string courseCompiler();

// One program to run in a job of its own, as runCommandWithTimeLimit runs one.
struct JobRun {
    std::string line;               // the whole command line
    int seconds = 0;                // no limit when <= 0
    HANDLE token = nullptr;         // whose rights it runs with; null: the caller's
    void* environment = nullptr;    // an ANSI block; null: the caller's
    const char* folder = nullptr;   // its working folder; null: the caller's
    bool fenced = false;            // the job gets fenceJob's limits
    HANDLE output = nullptr;        // its standard output; null: ours
    HANDLE errors = nullptr;        // its standard error; null: ours
};
// Returns what runCommandWithTimeLimit returns.
RunResult runInJob(JobRun& run);

// Adds the fence's limits to a job that has `limits`: one process, its
// memory, no access to the desktop's clipboard, windows or settings
// (fence_windows.cpp).
void fenceJob(HANDLE job, JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits);

// Ends the job running now and waits a moment for its program to go, for an
// interrupt that comes while nothing waits for it (children_windows.cpp).
void endRunningJob();

// The event the control handler sets on an interrupt that a wait acts on;
// null until cleanUpOnInterrupt (signals_windows.cpp).
HANDLE interruptEvent();
// Around a wait that acts on an interrupt itself, woken by interruptEvent():
// leaveInterruptibleWait ends the program, after the cleanup, when an
// interrupt that is not deferred came meanwhile.
void enterInterruptibleWait();
void leaveInterruptibleWait();
