// The signal handlers on POSIX, all installed here, one per signal: the
// action it replaced is put back before the signal ends the program, so the
// program still ends by it, with a core where the system makes one.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iterator>

#include "platform/platform.h"
#include "platform/posix.h"

volatile sig_atomic_t millisecondsStopped = 0;

namespace {
// Set by deferInterrupts: an interrupt is noted for the caller to wind down.
volatile sig_atomic_t deferring = 0;
// The interrupt noted, the first of them; 0 for none.
volatile sig_atomic_t interruptNoted = 0;
// How many waits act on an interrupt themselves (enterInterruptibleWait).
std::atomic<int> actingWaits{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads it");

struct sigaction foundActions[NSIG];
bool handled[NSIG];
void (*terminalRestore)() = nullptr;
void (*terminalResume)() = nullptr;
void (*interruptCleanup)() = nullptr;

bool isFault(int signalNumber) {
    return signalNumber == SIGSEGV || signalNumber == SIGBUS || signalNumber == SIGFPE ||
           signalNumber == SIGILL;
}

// The signals that end what runs and call cleanUpOnInterrupt's cleanup:
// Ctrl-C, Ctrl-\, kill, a closed console, and output to a closed pipe.
constexpr int interruptSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE};

bool isInterrupt(int signalNumber) {
    return std::find(std::begin(interruptSignals), std::end(interruptSignals), signalNumber) !=
           std::end(interruptSignals);
}

// Ends the programs running and the program itself as the interrupt would,
// after the cleanup and the terminal's restore: from a wait, or from the
// handler when nothing waits.
void windDown(int signalNumber) {
    signalRunning(SIGKILL);
    if (interruptCleanup != nullptr) {
        interruptCleanup();
    }
    if (terminalRestore != nullptr) {
        terminalRestore();
    }
    sigaction(signalNumber, &foundActions[signalNumber], nullptr);
}

// An interrupt is only noted while a wait acts on it, or while the program
// winds down by itself (deferInterrupts). When nothing waits, the program is
// computing (or is between starting a program and waiting for it) and would
// not look at a note for as long as that takes, so the handler ends it at
// once, as only removing files, restoring the terminal and killing groups
// is, all async-signal-safe.
void endProgram(int signalNumber, siginfo_t* info, void*) {
    if (isInterrupt(signalNumber)) {
        if (interruptNoted == 0) {
            interruptNoted = signalNumber;
        }
        if (deferring != 0 || actingWaits.load() > 0) {
            return;
        }
        windDown(signalNumber);
        raise(signalNumber);  // delivered once the handler returns
        return;
    }
    if (terminalRestore != nullptr) {
        terminalRestore();
    }
    // Delivered again once the handler returns; a fault comes back by itself
    // when the faulting instruction runs again.
    sigaction(signalNumber, &foundActions[signalNumber], nullptr);
    if (!isFault(signalNumber) || info == nullptr || info->si_code <= 0) {
        raise(signalNumber);
    }
}

// Also after a SIGSTOP, which no handler sees.
void continueAsBefore(int, siginfo_t*, void*) {
    const int savedErrno = errno;
    signalRunning(SIGCONT);
    if (terminalResume != nullptr) {
        terminalResume();
    }
    errno = savedErrno;
}

long millisecondsBetween(const timespec& start, const timespec& end) {
    return (end.tv_sec - start.tv_sec) * 1000 + (end.tv_nsec - start.tv_nsec) / 1000000;
}

// The shell gets its terminal back while the program is stopped, and the
// programs running for it stop with it. Stopping here, not after returning,
// also covers an orphaned process group, whose stop the system discards: the
// key mode comes back either way. The time stopped is not the programs'.
void stopWithTerminalRestored(int, siginfo_t*, void*) {
    const int savedErrno = errno;
    if (terminalRestore != nullptr) {
        terminalRestore();
    }
    signalRunning(SIGSTOP);
    struct sigaction byDefault {};
    struct sigaction ours {};
    byDefault.sa_handler = SIG_DFL;
    sigaction(SIGTSTP, &byDefault, &ours);
    sigset_t stop;
    sigset_t before;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, &before);
    timespec stopped{};
    timespec continued{};
    clock_gettime(CLOCK_MONOTONIC, &stopped);
    kill(getpid(), SIGTSTP);  // stops here until continued
    clock_gettime(CLOCK_MONOTONIC, &continued);
    millisecondsStopped =
        static_cast<sig_atomic_t>(millisecondsStopped + millisecondsBetween(stopped, continued));
    sigprocmask(SIG_SETMASK, &before, nullptr);
    sigaction(SIGTSTP, &ours, nullptr);
    continueAsBefore(SIGCONT, nullptr, nullptr);
    errno = savedErrno;
}

void handle(int signalNumber, void (*handler)(int, siginfo_t*, void*)) {
    if (handled[signalNumber]) {
        return;
    }
    struct sigaction action {};
    action.sa_sigaction = handler;
    // SA_RESTART keeps a stop from failing a write; SA_ONSTACK lets a stack
    // overflow reach a sanitizer's alternate stack through us.
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    // An ignored signal stays ignored (nohup, a background job), and one that
    // cannot be caught or is the C library's own is refused by sigaction.
    if (sigaction(signalNumber, nullptr, &foundActions[signalNumber]) == 0 &&
        foundActions[signalNumber].sa_handler != SIG_IGN &&
        sigaction(signalNumber, &action, nullptr) == 0) {
        handled[signalNumber] = true;
    }
}
}  // namespace

void restoreTerminalOnSignals(void (*restore)(), void (*resume)()) {
    terminalRestore = restore;
    terminalResume = resume;
    // Every signal whose default action ends the program; those that the
    // default ignores or that stop and continue have their own handlers or none.
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        switch (signalNumber) {
        case SIGKILL: case SIGSTOP: case SIGTTIN: case SIGTTOU:
        case SIGCHLD: case SIGURG: case SIGWINCH:
            break;
        case SIGTSTP:
            handle(signalNumber, stopWithTerminalRestored);
            break;
        case SIGCONT:
            handle(signalNumber, continueAsBefore);
            break;
        default:
            handle(signalNumber, endProgram);
        }
    }
}

int notedInterrupt() { return interruptNoted; }

bool interruptsDeferred() { return deferring != 0; }

void enterInterruptibleWait() { ++actingWaits; }

void leaveInterruptibleWait() {
    --actingWaits;
    const int signalNumber = interruptNoted;
    if (signalNumber != 0 && deferring == 0) {
        windDown(signalNumber);
        raise(signalNumber);
        // cppcheck-suppress unreachableCode
        _exit(128 + signalNumber);  // the action found does not end the program
    }
}

// Every handler a child's start needs is put in here, before the caller
// starts threads that start children: handle() is then only read.
void deferInterrupts() {
    deferring = 1;
    watchChildSignals();
}

int interruptRequested() { return interruptNoted != 0 ? 1 : 0; }

void endAsInterrupted() {
    const int signalNumber = interruptNoted != 0 ? interruptNoted : SIGINT;
    sigaction(signalNumber, &foundActions[signalNumber], nullptr);
    raise(signalNumber);
    // cppcheck-suppress unreachableCode
    _exit(128 + signalNumber);  // the action found ignores it
}

void watchChildSignals() {
    for (const int signalNumber : interruptSignals) {
        handle(signalNumber, endProgram);
    }
    handle(SIGTSTP, stopWithTerminalRestored);
    handle(SIGCONT, continueAsBefore);
}

void defaultSignalsForChild() {
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        if (handled[signalNumber]) {
            signal(signalNumber, SIG_DFL);
        }
    }
}

void cleanUpOnInterrupt(void (*cleanup)()) {
    interruptCleanup = cleanup;
    watchChildSignals();
}
