// The fence around the student's code: its compile and every run of the
// test program. A run inside it reaches no file beyond its own folder but
// the system's libraries and headers, starts no other program, signals no
// other process, opens no socket, types nothing into a terminal, has its
// memory, file sizes and open files capped, sees none of the user's
// environment, and dies with its caller. Each OS has a file of its own
// (fence_posix.cpp, fence_windows.cpp); what a system cannot apply is told
// by fenceGaps(), never hidden.
#pragma once

#include <cstddef>
#include <string>

#include "platform/run_result.h"

// The parts of the fence, as the bits of what a system lacks.
constexpr unsigned fenceLacksFileLimits = 1U;  // Landlock / a low-integrity token
constexpr unsigned fenceLacksCallFilter = 2U;  // seccomp / a job of one process
constexpr unsigned fenceLacksSignalScope = 4U; // Landlock's signal scope (seccomp still filters kill)

// The limits of a fenced run, generous for any honest answer.
constexpr std::size_t fenceMemoryBytes = std::size_t{1} << 30;     // address space, 1 GiB
constexpr std::size_t fenceFileBytes = std::size_t{64} << 20;      // any one file written, 64 MiB
constexpr int fenceOpenFiles = 64;

// The parts of the fence that this system cannot apply, as the bits above;
// 0 when it has them all. Asks the kernel once, starts nothing.
unsigned fenceGaps();

// What the gaps mean, in words for the one line that says so:
// "no Landlock (it could read and write your files)"; "" for none.
std::string fenceGapsText(unsigned gaps);

// Runs a command line of the student's code in `folder` (an absolute path:
// its working folder and the one place it may write), fenced, its output on
// the program's console and the null device as its input, stopped after
// `seconds` as runCommandWithTimeLimit stops a program. A program named
// ".\name" is the file in `folder`; "tcc.exe" is the course's compiler. A
// line that ends ">NUL" or "2>NUL" (or both), as the command interpreter
// reads them, sends its output or its error output to the null device.
// Returns what runCommandWithTimeLimit returns; a program not found is
// said in a line "name: command not found" on POSIX.
RunResult runFenced(const char* commandLine, const char* folder, int seconds);

// Makes a new, empty folder that only this user can enter, in the system's
// folder for temporary files (TMPDIR, or /tmp; %TEMP% on Windows), named
// `prefix` and six random letters or digits, and puts its absolute path in
// `name` (of `size` bytes). Returns 0, or -1 with errno set.
int makePrivateFolder(const char* prefix, char* name, std::size_t size);
