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
#include "platform/win32.h"

namespace {
// cmd.exe's status for "is not recognized as an internal or external command".
constexpr int interpreterNotFoundStatus = 9009;

// The job and process running now, for the console's Ctrl-C and close.
HANDLE volatile runningJob = nullptr;
HANDLE volatile runningProcess = nullptr;
void (*interruptCleanup)() = nullptr;
// Set by deferInterrupts: an interrupt is noted for the caller to wind down.
volatile LONG interruptNoted = 0;

// The programs run share the console and get its Ctrl-C themselves: the key
// grading a folder ends its own programs and removes its scratch folder.
BOOL WINAPI noteInterrupt(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        InterlockedExchange(&interruptNoted, 1);
        return TRUE;
    }
    return FALSE;
}

// Runs on a thread of its own. The program must be gone before its files
// can be removed: Windows keeps a running program's file.
BOOL WINAPI interrupted(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        if (runningJob != nullptr) {
            TerminateJobObject(runningJob, 1);
            if (runningProcess != nullptr) {
                WaitForSingleObject(runningProcess, 2000);
            }
        }
        if (interruptCleanup != nullptr) {
            interruptCleanup();
        }
    }
    return FALSE;  // the default handler ends the program
}
}  // namespace

bool isFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ownProgramPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length > 0 && length < sizeof path ? length : 0);
}

std::string quotedIfBlank(const std::string& program) {
    return program.find(' ') != std::string::npos ? "\"" + program + "\"" : program;
}

// The course's tcc: beside the exam folder, or beside the folder of the key
// itself when it works elsewhere (the class report grades each folder in a
// scratch folder of its own). "" when there is neither.
std::string courseCompiler() {
    const std::string besideExam = "..\\tcc\\tcc.exe";
    if (isFile(besideExam)) {
        return besideExam;
    }
    const std::string program = ownProgramPath();
    const std::size_t folderEnd = program.find_last_of('\\');
    if (folderEnd == std::string::npos) {
        return "";
    }
    const std::string besideProgram = program.substr(0, folderEnd) + "\\..\\tcc\\tcc.exe";
    if (!isFile(besideProgram)) {
        return "";
    }
    return quotedIfBlank(besideProgram);
}

namespace {
// The course's programs sit beside the exam folder (..\tcc\tcc.exe, as
// ..\gnuplot\bin\gnuplot.exe), so the student never sets PATH: a line
// that starts "tcc.exe" runs that tcc when it is there, and through PATH when
// not. A program named by a path that is not there is not found, without the
// command interpreter's own message: the caller says what to unpack where.
// Returns the line to run, or "" when its program is not there.
std::string withCourseProgram(const char* commandLine) {
    const std::string line = commandLine;
    const std::string program = line.substr(0, line.find_first_of(" \t\r\n"));
    if (program == "tcc.exe") {
        const std::string compiler = courseCompiler();
        return !compiler.empty() ? compiler + line.substr(program.size()) : line;
    }
    if (program.find('\\') != std::string::npos && !isFile(program)) {
        return "";
    }
    return line;
}
}  // namespace

const char* gnuplotWhereabouts() {
    return "there is no gnuplot at ..\\gnuplot\\bin\\gnuplot.exe: unpack a Windows gnuplot with "
           "the pngcairo terminal into the folder gnuplot beside the exam folder, so that "
           "gnuplot\\bin\\gnuplot.exe is there";
}

void cleanUpOnInterrupt(void (*cleanup)()) {
    interruptCleanup = cleanup;
    SetConsoleCtrlHandler(interrupted, TRUE);
}

int runCommandWithTimeLimit(const char* commandLine, int seconds) {
    const std::string courseLine = withCourseProgram(commandLine);
    if (courseLine.empty()) {
        return commandNotFound;
    }
    JobRun run;
    run.line = "cmd.exe /d /s /c \"" + courseLine + "\"";
    run.seconds = seconds;
    return runInJob(run);
}

int runInJob(JobRun& run) {
    const int seconds = run.seconds;
    std::string& line = run.line;
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) {
        return -1;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (seconds > 0) {
        // A second of CPU more than the limit: nothing in the job outlives a
        // caller that is stopped in a debugger or killed past its job's close.
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_JOB_TIME;
        limits.BasicLimitInformation.PerJobUserTimeLimit.QuadPart = (seconds + 1) * 10000000LL;
    }
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    if (run.fenced) {
        fenceJob(job, limits);  // apart: a system that refuses a fence limit keeps these
    }

    // The null device as input, so that nothing it runs waits for a key.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE nullInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullInput;
    startup.hStdOutput = run.output != nullptr ? run.output : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = run.errors != nullptr ? run.errors : GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::fflush(nullptr);  // our output first, then the program's
    // Suspended until it is in the job, so nothing it starts escapes the job.
    const BOOL created =
        run.token != nullptr
            ? CreateProcessAsUserA(run.token, nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                                   run.environment, run.folder, &startup, &process)
            : CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, run.environment,
                             run.folder, &startup, &process);
    if (nullInput != INVALID_HANDLE_VALUE) {
        CloseHandle(nullInput);
    }
    if (!created) {
        CloseHandle(job);
        return commandNotFound;
    }
    // A job of our caller's may refuse it; then only the program itself can be stopped.
    const bool inJob = AssignProcessToJobObject(job, process.hProcess) != 0;
    runningJob = job;
    runningProcess = process.hProcess;
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);

    const DWORD limit = seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : INFINITE;
    int result = -1;
    if (WaitForSingleObject(process.hProcess, limit) == WAIT_TIMEOUT) {
        TerminateJobObject(job, 1);
        if (!inJob) {
            TerminateProcess(process.hProcess, 1);  // or the wait below never ends
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        result = commandTimedOut;
    } else {
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) {
            result = code == interpreterNotFoundStatus ? commandNotFound : static_cast<int>(code);
        }
    }
    runningJob = nullptr;
    runningProcess = nullptr;
    CloseHandle(process.hProcess);
    CloseHandle(job);  // kills whatever the program left running
    return result;
}

void deferInterrupts() { SetConsoleCtrlHandler(noteInterrupt, TRUE); }

int interruptRequested() { return InterlockedCompareExchange(&interruptNoted, 0, 0) != 0 ? 1 : 0; }

void endAsInterrupted() { ExitProcess(STATUS_CONTROL_C_EXIT); }

std::string ownProgramCommand(const char* argv0) {
    const std::string program = ownProgramPath();
    return quotedIfBlank(!program.empty() ? program : std::string(argv0 != nullptr ? argv0 : ""));
}
