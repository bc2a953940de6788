// Commands on Windows: the exam's command lines are the command
// interpreter's own. A line with a time limit runs inside a job object:
// stopping the job stops the program and everything it started, and a
// program that crashes in it ends at once instead of waiting on the
// error-reporting dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {
// cmd.exe's status for "is not recognized as an internal or external command".
constexpr int interpreterNotFoundStatus = 9009;
}  // namespace

int runCommand(const char* commandLine) {
    std::fflush(nullptr);  // our output first, then the program's
    const int status = std::system(commandLine);
    // -1: not even the command interpreter could be started.
    if (status == -1 || status == interpreterNotFoundStatus) {
        return commandNotFound;
    }
    return status;
}

int runCommandWithTimeLimit(const char* commandLine, int seconds) {
    std::string line = std::string("cmd.exe /d /s /c \"") + commandLine + "\"";
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) {
        return -1;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::fflush(nullptr);  // our output first, then the program's
    // Suspended until it is in the job, so nothing it starts escapes the job.
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
        CloseHandle(job);
        return commandNotFound;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);

    const DWORD limit = seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : INFINITE;
    int result = -1;
    if (WaitForSingleObject(process.hProcess, limit) == WAIT_TIMEOUT) {
        TerminateJobObject(job, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        result = commandTimedOut;
    } else {
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) {
            result = code == interpreterNotFoundStatus ? commandNotFound : static_cast<int>(code);
        }
    }
    CloseHandle(process.hProcess);
    CloseHandle(job);  // kills whatever the program left running
    return result;
}
