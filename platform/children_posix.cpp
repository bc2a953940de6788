// The one owner of the programs running now on POSIX: their process groups,
// the wait for each, and its end. The signal handlers (signals_posix.cpp)
// only note an interrupt; the wait here acts on it.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/posix.h"

namespace {
constexpr int runningSlots = 64;
std::atomic<pid_t> runningGroups[runningSlots];
static_assert(std::atomic<pid_t>::is_always_lock_free, "the stop handler reads the slots");

// What a wait does on an interrupt noted meanwhile. Deferred (the class
// report), the program is the key grading a folder: asked to end, it ends its
// own programs and removes its scratch folder first, so it gets SIGTERM once.
// Otherwise the group is killed and the program then ends by the signal.
void actOnInterrupt(pid_t child, bool* asked) {
    if (*asked || notedInterrupt() == 0) {
        return;
    }
    *asked = true;
    kill(-child, interruptsDeferred() ? SIGTERM : SIGKILL);
}
}  // namespace

int noteRunning(pid_t group) {
    for (int i = 0; i < runningSlots; ++i) {
        pid_t free = 0;
        if (runningGroups[i].compare_exchange_strong(free, group)) {
            return i;
        }
    }
    return -1;
}

void forgetRunning(int slot) {
    if (slot >= 0) {
        runningGroups[slot] = 0;
    }
}

void signalRunning(int signalNumber) {
    for (std::atomic<pid_t>& group : runningGroups) {
        const pid_t running = group.load();
        if (running > 0) {
            kill(-running, signalNumber);
        }
    }
}

// Polling keeps SIGCHLD and the signal mask untouched, and a pause that a
// signal cuts short (nanosleep is never restarted) lets an interrupt be
// acted on at once; a program that ends at once costs a millisecond, a long
// one 20 ms at most. The group is ended before the child is reaped: until
// then its number cannot be reused, so the kill never reaches a stranger.
int waitForChild(pid_t child, int slot, int seconds, int* status) {
    enterInterruptibleWait();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const long stoppedBefore = millisecondsStopped;
    long pauseNanoseconds = 1000000;
    bool asked = false;
    int result = 0;
    for (;;) {
        actOnInterrupt(child, &asked);
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT | WNOHANG) == -1) {
            if (errno == EINTR) {
                continue;
            }
            result = -1;
            break;
        }
        if (info.si_pid == child) {
            break;
        }
        if (seconds > 0 && std::chrono::steady_clock::now() >=
                               deadline + std::chrono::milliseconds(millisecondsStopped - stoppedBefore)) {
            result = 1;
            break;
        }
        const timespec pause{0, pauseNanoseconds};
        nanosleep(&pause, nullptr);
        pauseNanoseconds = std::min(pauseNanoseconds * 2, 20000000L);
    }
    kill(-child, SIGKILL);
    while (waitpid(child, status, 0) == -1 && errno == EINTR) {
    }
    forgetRunning(slot);
    leaveInterruptibleWait();  // an interrupt not deferred ends the program here
    return result;
}
