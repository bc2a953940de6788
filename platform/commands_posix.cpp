// Starting and waiting for the programs of the exam's command lines on POSIX.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/platform.h"
#include "platform/posix.h"

extern char** environ;

namespace {
// Waits for the child to end, or for the time limit to pass (none when
// seconds <= 0), then ends the process group of an isolated one before
// reaping it: until then the group's number cannot be reused, so the kill
// never reaches a stranger (nor anyone for a plain child, which has none).
// Returns 0 with its wait status, -1 when waiting failed, commandTimedOut.
int waitForGroup(pid_t child, int slot, int seconds, int* status) {
    // Polling keeps SIGCHLD and the signal mask untouched; a program that
    // ends at once costs a millisecond, a long one 20 ms at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    long pauseNanoseconds = 1000000;
    int result = 0;
    for (;;) {
        siginfo_t info{};
        const int flags = WEXITED | WNOWAIT | (seconds > 0 ? WNOHANG : 0);
        if (waitid(P_PID, static_cast<id_t>(child), &info, flags) == -1) {
            if (errno == EINTR) {
                continue;
            }
            result = -1;
            break;
        }
        if (info.si_pid == child) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            result = commandTimedOut;
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
    return result;
}

// Starts an isolated program: in a group of its own, with the null device as
// its input, and known to the interrupt handler as soon as it exists.
int spawnIsolated(pid_t* child, int* slot, const char* program, char* const* argv) {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    sigset_t blocked;
    sigset_t previous;
    sigfillset(&blocked);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &previous);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    const int spawned = posix_spawn(child, program, &actions, &attributes, argv, environ);
    if (spawned == 0) {
        *slot = noteRunning(*child);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return spawned;
}

}  // namespace

// A plain program stays in our process group so that Ctrl-C reaches it too.
// An isolated one (seconds > 0 or not) gets a group of its own and the null
// device as its input, and the group is ended with it: a forked child of a
// student's function cannot outlive the grading. A grandchild that leaves
// the group on purpose (setsid) escapes; nothing a student writes by mistake does.
int runProgram(const std::string& program, const CommandWords& arguments, int seconds,
               bool isolated) {
    // There but not startable: a file without execute permission, or any
    // file on a drive mounted noexec, which access() reports as the kernel
    // would. Asked first, as not every system says so through posix_spawn.
    if (isolated && access(program.c_str(), X_OK) != 0) {
        return commandNotRunnable;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::fflush(nullptr);  // our output first, then the program's
    lendConsole();
    pid_t child = 0;
    int slot = -1;
    const int spawned =
        isolated ? spawnIsolated(&child, &slot, program.c_str(), argv.data())
                 : posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawned != 0) {
        reclaimConsole();
        if (isolated && (spawned == EACCES || spawned == EPERM)) {
            return commandNotRunnable;
        }
        std::fprintf(stderr, "%s: cannot be started\n", arguments[0].c_str());
        return commandNotFound;
    }
    int status = 0;
    const int waited = waitForGroup(child, slot, seconds, &status);
    reclaimConsole();
    if (waited != 0) {
        return waited;
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::string ownProgramCommand(const char* argv0) {
    // The command runner finds a name without a folder on PATH, as the shell did.
    return argv0 != nullptr ? argv0 : "";
}
