// What the POSIX files of platform/ share: the meaning of the exam's command
// lines (command_line_posix.cpp), the spawning (commands_posix.cpp), the one
// owner of the running children (children_posix.cpp) and of the signal
// handlers (signals_posix.cpp).
#pragma once

#include <signal.h>

#include <string>
#include <vector>

#include "platform/run_result.h"

// The status a child exits with when it cannot go on before its program
// starts (its folder gone, its caller gone), as a shell's is for a program
// it did not find.
constexpr int childCannotStart = 127;

using CommandWords = std::vector<std::string>;

// The line's words, split at blanks, with Windows' "\" in paths made "/".
CommandWords splitCommandLine(const char* commandLine);

// The arguments to start `program` (found for the line's first word) with:
// pdflatex gets its options first and in batch mode, a tcc line that links
// gets the math library. Spawns nothing and reads no file.
CommandWords programArguments(const CommandWords& words, const std::string& program);

// The program a command line's first word names: a path, or a name looked
// up through PATH (with or without ".exe"). "" when there is none.
std::string findProgram(const std::string& name);

// What a fenced child enters between fork and exec (fence_posix.cpp), all
// made by the caller beforehand: the child only makes system calls.
struct ChildFence {
    const char* folder = nullptr;         // its working folder, the one it may write
    const char* program = nullptr;        // the file it runs, the one it may run
    char* const* environment = nullptr;   // in place of the caller's
    void* filterPage = nullptr;           // makeFilterPage's, or null
    int goInput = -1;                     // read end: its end of file says the filter is there
    bool quietOutput = false;             // standard output to the null device
    bool quietErrors = false;             // standard error to the null device
};
void enterFence(const ChildFence& fence);
// The system-call filter's page, shared with the child: made before the
// fork, filled once the child's pid is known (its signals may reach only
// itself), dropped after. Null when it cannot be made.
void* makeFilterPage();
void fillFilterPage(void* page, pid_t child, const char* program);
void dropFilterPage(void* page);

// Runs the program with the arguments, isolated (and inside `fence` when
// there is one), and returns what runCommandWithTimeLimit returns.
RunResult runProgram(const std::string& program, const CommandWords& arguments, int seconds,
               ChildFence* fence = nullptr);

// The process groups of the isolated programs running now, held by their
// one owner (children_posix.cpp). Several run at once when the class report
// grades from a thread per core. noteRunning is called while all signals are
// blocked; it returns the slot taken, or -1 when all are (the program is then
// ended only by its time limit); forgetRunning(-1) does nothing.
int noteRunning(pid_t group);
void forgetRunning(int slot);
// Sends the signal to every group running now. Async-signal-safe.
void signalRunning(int signalNumber);

// Waits for the child in `slot` to end, or for the time limit to pass (none
// when seconds <= 0), acting on an interrupt noted meanwhile; then ends its
// process group and reaps it. An interrupt that is not deferred then ends
// the program as the signal would (endByInterrupt).
// Returns 0 with its wait status in *status, -1 when waiting failed, 1 when
// it was stopped at the time limit.
int waitForChild(pid_t child, int slot, int seconds, int* status);

// The interrupt the handlers noted (SIGINT, SIGTERM, ...), 0 for none.
int notedInterrupt();
// Whether deferInterrupts asked for the program to wind down by itself.
bool interruptsDeferred();
// Around a wait that acts on an interrupt itself: meanwhile the handler
// only notes one. leaveInterruptibleWait ends the program by an interrupt
// noted and not deferred, after the cleanup and the terminal's restore.
void enterInterruptibleWait();
void leaveInterruptibleWait();

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
