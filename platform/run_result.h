// How one run of a program went: whether it started, and if so how it
// ended. Returned by runCommandWithTimeLimit and runFenced (platform.h,
// fence.h), the services' table of them and runTool (services.h). Its own
// header, so that both of those include it and neither the other.
#pragma once

// Whether the program started, and why not.
enum class RunStart {
    started,       // it ran: exitStatus, endSignal and timedOut say how it ended
    notFound,      // no program of its name: none at its path, none through PATH
                   // (on Windows also the command interpreter's "is not recognized")
    notStartable,  // the program is there but the system would not start it: no
                   // execute permission, a drive mounted noexec, a file it cannot
                   // load, no process left to fork (POSIX: exec or fork failed;
                   // Windows: CreateProcess failed but for a missing file)
    notIsolated,   // it could not be run in isolation (no pipe on POSIX, no job on
                   // Windows) or not be waited for: nothing of it is left running
};

struct RunResult {
    RunStart start = RunStart::started;
    // Started and ended by itself: its exit status, 0 for success. POSIX: 0 to
    // 255. Windows: the whole exit code, which for a crash is the exception's
    // code (0xC0000005, as an int); a Windows crash has no endSignal.
    int exitStatus = 0;
    // POSIX: the signal that ended it (SIGSEGV, SIGKILL once its CPU time ran
    // out, ...), 0 when it exited. Always 0 on Windows.
    int endSignal = 0;
    // It ran for its whole time limit and was stopped, with all it started;
    // exitStatus and endSignal then say nothing.
    bool timedOut = false;
};

// Whether it started and ended by itself with status 0.
inline bool ranAndSucceeded(const RunResult& run) {
    return run.start == RunStart::started && !run.timedOut && run.endSignal == 0 && run.exitStatus == 0;
}

// The number a POSIX shell would give for the run, for the messages that
// show one: its exit status, 128 + the signal that ended it, 127 when it was
// not found, 126 when it could not start, -1 when it could not be isolated
// or waited for, -2 when it timed out (the messages say that in words).
inline int shellStatus(const RunResult& run) {
    switch (run.start) {
    case RunStart::notFound:
        return 127;
    case RunStart::notStartable:
        return 126;
    case RunStart::notIsolated:
        return -1;
    case RunStart::started:
        break;
    }
    if (run.timedOut) {
        return -2;
    }
    return run.endSignal != 0 ? 128 + run.endSignal : run.exitStatus;
}

// The results the runners and the tests' scripted ones make.
inline RunResult exitedWith(int status) { return RunResult{RunStart::started, status, 0, false}; }
inline RunResult endedBySignal(int signalNumber) { return RunResult{RunStart::started, 0, signalNumber, false}; }
inline RunResult stoppedAtTimeLimit() { return RunResult{RunStart::started, 0, 0, true}; }
inline RunResult notStarted(RunStart why) { return RunResult{why, 0, 0, false}; }
