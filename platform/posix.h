// What the POSIX files of platform/ share: the meaning of the exam's command
// lines (command_line_posix.cpp), the spawning (commands_posix.cpp) and the
// one owner of the signal handlers (signals_posix.cpp).
#pragma once

#include <signal.h>

#include <string>
#include <vector>

using CommandWords = std::vector<std::string>;

// The line's words, split at blanks, with Windows' "\" in paths made "/".
CommandWords splitCommandLine(const char* commandLine);

// The arguments to start `program` (found for the line's first word) with:
// pdflatex gets its options first and in batch mode, a tcc line that links
// gets the math library. Spawns nothing and reads no file.
CommandWords programArguments(const CommandWords& words, const std::string& program);

// Runs the program with the arguments, isolated, and returns what
// runCommandWithTimeLimit returns.
int runProgram(const std::string& program, const CommandWords& arguments, int seconds);

// The process groups of the isolated programs running now: the interrupt
// handler ends them. Several run at once when the class report grades from
// a thread per core. noteRunning is called while all signals are blocked;
// it returns the slot taken, or -1 when all are (the program is then ended
// only by its time limit); forgetRunning(-1) does nothing.
int noteRunning(pid_t group);
void forgetRunning(int slot);

// How long, in all, the program has been stopped (Ctrl-Z): a time limit
// does not count it.
extern volatile sig_atomic_t millisecondsStopped;

// Before an isolated program starts: from now on an ending signal ends its
// group first (as cleanUpOnInterrupt's do), and a stop stops it too.
void watchChildSignals();

// In a forked child before exec: the parent's handlers are dropped.
void defaultSignalsForChild();

// From now on every signal that would end the program, and a stop (Ctrl-Z),
// first calls `restore`, which puts the terminal back; a continue calls
// `resume`. Both run inside a signal handler.
void restoreTerminalOnSignals(void (*restore)(), void (*resume)());
