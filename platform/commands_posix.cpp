// Starting the programs of the exam's command lines on POSIX, isolated (or
// fenced); their wait and their end are children_posix.cpp's, as on Windows.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"
#include "platform/posix.h"

extern char** environ;

namespace {
// The child's side of spawnIsolated, between fork and exec, where only
// async-signal-safe calls may be made. It is in a group of its own, reads
// the null device, dies with the caller (where the system can do that), and
// may use the CPU for a second more than the time limit, so neither a
// stopped nor a killed caller leaves it running for ever. SIGTTOU is
// ignored: a background program's writes to the terminal then go through
// even under `stty tostop`, instead of stopping it.
[[noreturn]] void becomeIsolated(const char* program, char* const* argv, int seconds,
                                 sigset_t mask, pid_t caller, int report, const ChildFence* fence) {
    if (fence == nullptr) {
        setpgid(0, 0);
    }
#ifdef PR_SET_PDEATHSIG
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() != caller) {
        _exit(childCannotStart);  // the caller is gone already
    }
#endif
    const int input = open("/dev/null", O_RDONLY);
    if (input > 0) {
        dup2(input, 0);
        close(input);
    }
    if (seconds > 0) {
        const rlimit cpu{static_cast<rlim_t>(seconds) + 1, static_cast<rlim_t>(seconds) + 2};
        setrlimit(RLIMIT_CPU, &cpu);
    }
    defaultSignalsForChild();
    signal(SIGTTOU, SIG_IGN);  // kept through exec, and by a shell script too
    if (fence != nullptr) {
        enterFence(*fence);  // last: the filter it loads refuses much of the above
    }
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    execve(program, argv, fence != nullptr ? fence->environment : environ);
    const int failure = errno;
    [[maybe_unused]] const ssize_t said = write(report, &failure, sizeof failure);
    _exit(childCannotStart);
}

// Starts an isolated program (becomeIsolated), known to the interrupt
// handler as soon as it exists. Returns 0, or the errno of the failed start.
int spawnIsolated(pid_t* child, int* slot, const char* program, char* const* argv, int seconds,
                  ChildFence* fence) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return errno;
    }
    int go[2] = {-1, -1};
    if (fence != nullptr) {
        if (pipe2(go, O_CLOEXEC) != 0) {
            const int failure = errno;
            close(report[0]);
            close(report[1]);
            return failure;
        }
        fence->goInput = go[0];
        fence->filterPage = makeFilterPage();
    }
    watchChildSignals();
    sigset_t blocked;
    sigset_t previous;
    sigfillset(&blocked);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    const pid_t caller = getpid();
    *child = fork();
    if (*child == 0) {
        close(report[0]);
        if (fence != nullptr) {
            close(go[1]);
        }
        becomeIsolated(program, argv, seconds, previous, caller, report[1], fence);
    }
    int failure = *child < 0 ? errno : 0;
    if (*child > 0) {
        if (fence == nullptr) {
            setpgid(*child, *child);  // at once, so the group can be ended at once
        }  // a fenced child makes a session of its own, which a group would forbid
        *slot = noteRunning(*child);
    }
    if (fence != nullptr) {
        if (*child > 0) {
            fillFilterPage(fence->filterPage, *child, program);
        }
        close(go[0]);
        close(go[1]);  // the child's go: its filter is in place
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    close(report[1]);
    while (*child > 0 && read(report[0], &failure, sizeof failure) == -1 && errno == EINTR) {
    }
    close(report[0]);
    if (fence != nullptr) {
        dropFilterPage(fence->filterPage);  // the kernel holds the filter of a child that started
        fence->filterPage = nullptr;
    }
    if (failure != 0 && *child > 0) {
        while (waitpid(*child, nullptr, 0) == -1 && errno == EINTR) {
        }
        forgetRunning(*slot);
        *slot = -1;
    }
    return failure;
}
}  // namespace

// The program gets a group of its own and the null device as its input, and
// the group is ended with it: a forked child of a student's function cannot
// outlive the grading. A grandchild that leaves the group on purpose (setsid)
// escapes; nothing a student writes by mistake does.
RunResult runProgram(const std::string& program, const CommandWords& arguments, int seconds,
                     ChildFence* fence) {
    // There but not startable: a file without execute permission, or any
    // file on a drive mounted noexec, which access() reports as the kernel
    // would. Asked first, as a failed exec says it only through the child.
    if (access(program.c_str(), X_OK) != 0) {
        return notStarted(RunStart::notStartable);
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
    const int spawned = spawnIsolated(&child, &slot, program.c_str(), argv.data(), seconds, fence);
    if (spawned != 0) {
        reclaimConsole();
        if (spawned != EACCES && spawned != EPERM) {
            std::fprintf(stderr, "%s: cannot be started\n", arguments[0].c_str());
        }
        // Never forked: no pipe to learn of its start, so it could not be isolated.
        return notStarted(child == 0 ? RunStart::notIsolated : RunStart::notStartable);
    }
    int status = 0;
    const int waited = waitForChild(child, slot, seconds, &status);
    reclaimConsole();
    if (waited != 0) {
        return waited > 0 ? stoppedAtTimeLimit() : notStarted(RunStart::notIsolated);
    }
    if (WIFSIGNALED(status)) {
        return endedBySignal(WTERMSIG(status));
    }
    return exitedWith(WIFEXITED(status) ? WEXITSTATUS(status) : 0);
}

std::string ownProgramCommand(const char* argv0) {
    // The command runner finds a name without a folder on PATH, as the shell
    // did, and reads a quoted one whole.
    const std::string program = argv0 != nullptr ? argv0 : "";
    return program.find_first_of(" \t") != std::string::npos ? "\"" + program + "\"" : program;
}
