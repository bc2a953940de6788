// The console's control handlers on Windows, all installed here, as
// signals_posix.cpp holds the POSIX signal handlers: Ctrl-C, Ctrl-Break and
// the console's close. A handler runs on a thread of its own; while a wait
// acts on an interrupt (children_windows.cpp, the pauses) it only notes it
// and wakes the wait, which then ends the program.
#include <windows.h>

#include <atomic>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {
void (*interruptCleanup)() = nullptr;
// Set by deferInterrupts: an interrupt is noted for the caller to wind down.
std::atomic<bool> deferring{false};
std::atomic<bool> interruptNoted{false};
// How many waits act on an interrupt themselves (enterInterruptibleWait).
std::atomic<int> actingWaits{0};
// Set once an interrupt is noted that a wait acts on; made with the first
// handler, before any wait can need it.
HANDLE interruptWakes = nullptr;

bool isInterrupt(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT;
}

// The programs run share the console and get its Ctrl-C themselves: the key
// grading a folder ends its own programs and removes its scratch folder.
BOOL WINAPI noteInterrupt(DWORD event) {
    if (isInterrupt(event)) {
        interruptNoted = true;
        return TRUE;
    }
    return FALSE;
}

// The program must be gone before its files can be removed: Windows keeps a
// running program's file. While a wait acts on it, this thread leaves the end
// to the wait (which ends the whole process); otherwise it ends the program
// here, as the program would not look at a note while it computes.
BOOL WINAPI interrupted(DWORD event) {
    if (isInterrupt(event)) {
        interruptNoted = true;
        if (actingWaits.load() > 0 && !deferring) {
            SetEvent(interruptWakes);
            Sleep(INFINITE);  // until the wait's ExitProcess
        }
        endRunningJob();
        if (interruptCleanup != nullptr) {
            interruptCleanup();
        }
    }
    return FALSE;  // the default handler ends the program
}

void makeInterruptEvent() {
    if (interruptWakes == nullptr) {
        interruptWakes = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
}
}  // namespace

void cleanUpOnInterrupt(void (*cleanup)()) {
    interruptCleanup = cleanup;
    makeInterruptEvent();
    SetConsoleCtrlHandler(interrupted, TRUE);
}

void deferInterrupts() {
    deferring = true;
    SetConsoleCtrlHandler(noteInterrupt, TRUE);
}

int interruptRequested() { return interruptNoted ? 1 : 0; }

void endAsInterrupted() { ExitProcess(STATUS_CONTROL_C_EXIT); }

HANDLE interruptEvent() { return interruptWakes; }

void enterInterruptibleWait() { ++actingWaits; }

void leaveInterruptibleWait() {
    --actingWaits;
    if (interruptNoted && !deferring && interruptWakes != nullptr) {
        if (interruptCleanup != nullptr) {
            interruptCleanup();
        }
        endAsInterrupted();  // as the default handler would have
    }
}
