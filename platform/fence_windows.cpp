// The fence on Windows: the program runs straight from its job (no command
// interpreter), which lets one process be active, caps its memory, keeps it
// off the desktop's clipboard, windows and settings, and ends it with the
// job; it runs with a restricted token at low integrity, so it cannot write
// any file of the user's: only its own folder, labelled low, takes its writes.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/fence.h"
#include "platform/platform.h"
#include "platform/win32.h"

namespace {
// A restricted copy of our own token at low integrity, or null with the
// reason left in `gaps`.
HANDLE lowIntegrityToken(unsigned* gaps) {
    HANDLE own = nullptr;
    HANDLE restricted = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(),
                          TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT, &own)) {
        *gaps |= fenceLacksFileLimits;
        return nullptr;
    }
    const BOOL made = CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 0, nullptr, 0, nullptr, 0, nullptr,
                                            &restricted);
    CloseHandle(own);
    PSID low = nullptr;
    if (!made || !ConvertStringSidToSidA("S-1-16-4096", &low)) {
        if (restricted != nullptr) {
            CloseHandle(restricted);
        }
        *gaps |= fenceLacksFileLimits;
        return nullptr;
    }
    TOKEN_MANDATORY_LABEL label{};
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    label.Label.Sid = low;
    const BOOL lowered =
        SetTokenInformation(restricted, TokenIntegrityLevel, &label, sizeof label + GetLengthSid(low));
    LocalFree(low);
    if (!lowered) {
        *gaps |= fenceLacksFileLimits;  // restricted, but at the user's own level
    }
    return restricted;
}

// Lets a low-integrity program write in `folder` and what it makes there.
bool labelLow(const char* folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;OICI;NW;;;LW)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return false;
    }
    PACL sacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    bool labelled = GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) && present;
    labelled = labelled && SetNamedSecurityInfoA(const_cast<char*>(folder), SE_FILE_OBJECT,
                                                 LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                                 sacl) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return labelled;
}

// The whole environment of a fenced run: Windows' own folder (which
// programs need to start), the compiler's folder, and TEMP in its folder.
std::string cleanEnvironment(const char* folder, const std::string& program) {
    char system[MAX_PATH] = "C:\\Windows";
    GetEnvironmentVariableA("SystemRoot", system, sizeof system);
    const std::size_t folderEnd = program.find_last_of('\\');
    const std::string programFolder = folderEnd == std::string::npos ? "" : program.substr(0, folderEnd);
    std::string block;
    for (const std::string& variable :
         {"PATH=" + std::string(system) + "\\system32;" + programFolder, "SystemRoot=" + std::string(system),
          "TEMP=" + std::string(folder), "TMP=" + std::string(folder)}) {
        block += variable;
        block += '\0';
    }
    block += '\0';
    return block;
}

std::string fullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}
}  // namespace

void fenceJob(HANDLE job, JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits) {
    limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_ACTIVE_PROCESS | JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.BasicLimitInformation.ActiveProcessLimit = 1;
    limits.ProcessMemoryLimit = fenceMemoryBytes;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    JOBOBJECT_BASIC_UI_RESTRICTIONS restrictions{};
    restrictions.UIRestrictionsClass = JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_DISPLAYSETTINGS |
                                    JOB_OBJECT_UILIMIT_EXITWINDOWS | JOB_OBJECT_UILIMIT_GLOBALATOMS |
                                    JOB_OBJECT_UILIMIT_HANDLES | JOB_OBJECT_UILIMIT_READCLIPBOARD |
                                    JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS | JOB_OBJECT_UILIMIT_WRITECLIPBOARD;
    SetInformationJobObject(job, JobObjectBasicUIRestrictions, &restrictions, sizeof restrictions);
}

int makePrivateFolder(const char* prefix, char* name, std::size_t size) {
    char base[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length >= sizeof base) {
        errno = ENOENT;
        return -1;
    }
    const std::string full = std::string(base) + prefix;
    // A folder under the user's own temporary folder, which only they (and
    // the system) can enter.
    return makeScratchFolder(full.c_str(), name, size);
}

unsigned fenceGaps() {
    unsigned gaps = 0;
    HANDLE token = lowIntegrityToken(&gaps);
    if (token != nullptr) {
        CloseHandle(token);
    }
    return gaps | fenceLacksSignalScope;  // no other process is reachable from a job of one anyway
}

std::string fenceGapsText(unsigned gaps) {
    return (gaps & fenceLacksFileLimits) != 0
               ? "no low-integrity token (the student's code could write your files)"
               : "";
}

namespace {
// Takes the ">NUL" and "2>NUL" off the end of `line`, as the command
// interpreter reads them, and says which were there.
void takeQuietEnds(std::string* line, bool* quietOutput, bool* quietErrors) {
    for (;;) {
        const std::size_t last = line->find_last_not_of(" \t");
        const std::size_t start = line->find_last_of(" \t", last) + 1;  // npos + 1 is 0
        const std::string word = last == std::string::npos ? "" : line->substr(start, last + 1 - start);
        if (word != ">NUL" && word != "2>NUL") {
            return;
        }
        (word == ">NUL" ? *quietOutput : *quietErrors) = true;
        line->erase(start);
    }
}

// The file a fenced line's first word names: ".\name" in its folder, the
// course's tcc for "tcc.exe", else the name as it stands.
std::string fencedProgram(const std::string& name, const char* folder) {
    if (name.rfind(".\\", 0) == 0) {
        return std::string(folder) + name.substr(1);
    }
    if (name == "tcc.exe") {
        const std::string compiler = courseCompiler();
        return compiler.empty() ? name
                                : fullPath(compiler.front() == '"' ? compiler.substr(1, compiler.size() - 2) : compiler);
    }
    return name;
}
}  // namespace

RunResult runFenced(const char* commandLine, const char* folder, int seconds) {
    std::string line = commandLine;
    bool quietOutput = false;
    bool quietErrors = false;
    takeQuietEnds(&line, &quietOutput, &quietErrors);
    const std::size_t nameEnd = line.find_first_of(" \t");
    const std::string name = line.substr(0, nameEnd);
    const std::string rest = nameEnd == std::string::npos ? "" : line.substr(nameEnd);
    const std::string program = fencedProgram(name, folder);
    if (program.find('\\') != std::string::npos && !isFile(program)) {
        return notStarted(RunStart::notFound);
    }
    unsigned gaps = 0;
    JobRun run;
    run.line = quotedIfBlank(program) + rest;
    run.seconds = seconds;
    run.folder = folder;
    run.fenced = true;
    run.token = lowIntegrityToken(&gaps);
    if (run.token != nullptr && !labelLow(folder)) {
        CloseHandle(run.token);  // a low program could not write its own results
        run.token = nullptr;
    }
    std::string environment = cleanEnvironment(folder, program);
    run.environment = environment.data();
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE null = quietOutput || quietErrors
                      ? CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                    OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (null != INVALID_HANDLE_VALUE) {
        run.output = quietOutput ? null : nullptr;
        run.errors = quietErrors ? null : nullptr;
    }
    RunResult status = runInJob(run);
    if ((status.start == RunStart::notFound || status.start == RunStart::notStartable) && run.token != nullptr) {
        // A system that cannot start a program with a token of its own (wine)
        // runs it with the caller's, in the job still.
        CloseHandle(run.token);
        run.token = nullptr;
        status = runInJob(run);
    }
    if (run.token != nullptr) {
        CloseHandle(run.token);
    }
    if (null != INVALID_HANDLE_VALUE) {
        CloseHandle(null);
    }
    return status;
}
