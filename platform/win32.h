// What the Windows files of platform/ share: the running of a program in a
// job (commands_windows.cpp), which the fence (fence_windows.cpp) tightens.
#pragma once

#include <windows.h>

#include <string>

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
int runInJob(JobRun& run);

// Adds the fence's limits to a job that has `limits`: one process, its
// memory, no access to the desktop's clipboard, windows or settings
// (fence_windows.cpp).
void fenceJob(HANDLE job, JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits);
