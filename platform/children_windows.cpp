// The one owner of the program running now on Windows: its job, the wait for
// it, and its end. A job stops the program and everything it started, and a
// program that crashes in it ends at once instead of waiting on the
// error-reporting dialog. The console's control handler (signals_windows.cpp)
// only notes an interrupt while the wait here can act on it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {
// cmd.exe's status for "is not recognized as an internal or external command".
constexpr int interpreterNotFoundStatus = 9009;

// The job and process running now, for an interrupt that comes while the
// program does not wait for them.
HANDLE volatile runningJob = nullptr;
HANDLE volatile runningProcess = nullptr;

// A job with the limits of `run`. Null when there can be none.
HANDLE makeJob(const JobRun& run) {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (run.seconds > 0) {
        // A second of CPU more than the limit: nothing in the job outlives a
        // caller that is stopped in a debugger or killed past its job's close.
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_JOB_TIME;
        limits.BasicLimitInformation.PerJobUserTimeLimit.QuadPart = (run.seconds + 1) * 10000000LL;
    }
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    if (run.fenced) {
        fenceJob(job, limits);  // apart: a system that refuses a fence limit keeps these
    }
    return job;
}

// Starts the program of `run`, suspended until it is in a job, so nothing it
// starts escapes the job. Returns whether it started; GetLastError says why not.
bool startSuspended(JobRun& run, PROCESS_INFORMATION* process) {
    // The null device as input, so that nothing it runs waits for a key.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE nullInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullInput;
    startup.hStdOutput = run.output != nullptr ? run.output : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = run.errors != nullptr ? run.errors : GetStdHandle(STD_ERROR_HANDLE);
    std::fflush(nullptr);  // our output first, then the program's
    std::string& line = run.line;
    const BOOL created =
        run.token != nullptr
            ? CreateProcessAsUserA(run.token, nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                                   run.environment, run.folder, &startup, process)
            : CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, run.environment,
                             run.folder, &startup, process);
    const DWORD failure = GetLastError();
    if (nullInput != INVALID_HANDLE_VALUE) {
        CloseHandle(nullInput);
    }
    SetLastError(failure);
    return created != 0;
}

// Waits for the process to end, for the time limit (none when seconds <= 0)
// or for an interrupt; on either of the last two the job is ended.
// Returns how the process ended.
RunResult waitInJob(HANDLE job, HANDLE process, bool inJob, int seconds) {
    enterInterruptibleWait();
    const HANDLE events[] = {process, interruptEvent()};
    const DWORD limit = seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : INFINITE;
    const DWORD woken = WaitForMultipleObjects(events[1] != nullptr ? 2 : 1, events, FALSE, limit);
    // Interrupted, or the wait failed: ended, but not by its time limit.
    RunResult result = notStarted(RunStart::notIsolated);
    if (woken != WAIT_OBJECT_0) {
        TerminateJobObject(job, 1);
        if (!inJob) {
            TerminateProcess(process, 1);  // or the wait below never ends
        }
        WaitForSingleObject(process, INFINITE);
        if (woken == WAIT_TIMEOUT) {
            result = stoppedAtTimeLimit();
        }
    } else {
        DWORD code = 0;
        if (GetExitCodeProcess(process, &code)) {
            result = code == interpreterNotFoundStatus ? notStarted(RunStart::notFound)
                                                       : exitedWith(static_cast<int>(code));
        }
    }
    runningJob = nullptr;
    runningProcess = nullptr;
    leaveInterruptibleWait();  // an interrupt not deferred ends the program here
    return result;
}
}  // namespace

RunResult runInJob(JobRun& run) {
    HANDLE job = makeJob(run);
    if (job == nullptr) {
        return notStarted(RunStart::notIsolated);
    }
    PROCESS_INFORMATION process{};
    if (!startSuspended(run, &process)) {
        const DWORD failure = GetLastError();
        CloseHandle(job);
        return notStarted(failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND
                              ? RunStart::notFound
                              : RunStart::notStartable);
    }
    // A job of our caller's may refuse it; then only the program itself can be stopped.
    const bool inJob = AssignProcessToJobObject(job, process.hProcess) != 0;
    runningJob = job;
    runningProcess = process.hProcess;
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    const RunResult result = waitInJob(job, process.hProcess, inJob, run.seconds);
    CloseHandle(process.hProcess);
    CloseHandle(job);  // kills whatever the program left running
    return result;
}

void endRunningJob() {
    if (runningJob != nullptr) {
        TerminateJobObject(runningJob, 1);
        if (runningProcess != nullptr) {
            WaitForSingleObject(runningProcess, 2000);
        }
    }
}
