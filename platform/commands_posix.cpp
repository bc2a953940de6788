// The exam's command lines are written for the Windows command interpreter.
// POSIX has none, so this is a small interpreter of our own that does what
// each of those lines means: `del` is built in, Windows paths and ".exe"
// names find their POSIX programs, pdflatex gets options it understands, and
// a tcc line that links gets the math library that Windows links by itself.
// Programs run directly: nothing of the line reaches a shell.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

extern char** environ;

namespace {
using Words = std::vector<std::string>;

Words splitWords(const char* commandLine) {
    Words words;
    std::string word;
    for (const char* c = commandLine;; ++c) {
        if (*c == '\0' || *c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') {
            if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
            if (*c == '\0') {
                return words;
            }
        } else {
            word += *c == '\\' ? '/' : *c;
        }
    }
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string withoutExe(const std::string& name) {
    return endsWith(name, ".exe") ? name.substr(0, name.size() - 4) : name;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isProgram(const std::string& path) {
    return isRegularFile(path) && access(path.c_str(), X_OK) == 0;
}

std::string searchPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? end : end - start);
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (isProgram(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            return "";
        }
        start = end + 1;
    }
}

// Returns the program to run for the command's first word, or "" if none.
std::string findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        if (isProgram(name)) {
            return name;
        }
        if (isProgram(withoutExe(name))) {
            return withoutExe(name);
        }
        return searchPath(withoutExe(name.substr(name.rfind('/') + 1)));
    }
    const std::string found = searchPath(name);
    return found.empty() && endsWith(name, ".exe") ? searchPath(withoutExe(name)) : found;
}

// TeX Live reads options only before the document and knows neither -quiet
// nor -silent; batch mode is what they ask for, and it also keeps an error in
// the document from stopping at pdflatex's own prompt.
Words pdflatexArguments(const Words& words) {
    Words options;
    Words documents;
    bool batchMode = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "-quiet" || word == "-silent") {
            if (!batchMode) {
                options.push_back("-interaction=batchmode");
                batchMode = true;
            }
        } else if (word[0] == '-') {
            options.push_back(word);
        } else {
            documents.push_back(word);
        }
    }
    Words arguments{words[0]};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), documents.begin(), documents.end());
    return arguments;
}

// Windows' C library holds the math functions; here they are in libm, which
// tcc links only when asked. A compile-only or preprocessing line links nothing.
Words tccArguments(const Words& words) {
    for (const std::string& word : words) {
        if (word == "-c" || word == "-E" || word == "-run") {
            return words;
        }
    }
    Words arguments = words;
    arguments.push_back("-lm");
    return arguments;
}

// Removes the regular files of the working folder that match any of the
// patterns; matching nothing is not an error.
int deleteMatching(const Words& words) {
    DIR* folder = opendir(".");
    if (folder == nullptr) {
        return 1;
    }
    while (const dirent* entry = readdir(folder)) {
        struct stat info {};
        if (lstat(entry->d_name, &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (fnmatch(words[i].c_str(), entry->d_name, 0) == 0) {
                std::remove(entry->d_name);
                break;
            }
        }
    }
    closedir(folder);
    return 0;
}

// Waits for the child to end, or kills it once the time limit has passed.
// Returns 0 with its wait status, -1 when waiting failed, commandTimedOut.
int waitForChild(pid_t child, int seconds, int* status) {
    if (seconds <= 0) {
        while (waitpid(child, status, 0) == -1) {
            if (errno != EINTR) {
                return -1;
            }
        }
        return 0;
    }
    // Polling keeps SIGCHLD and the signal mask untouched; a program that
    // ends at once costs a millisecond, a long one 20 ms at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    long pauseNanoseconds = 1000000;
    for (;;) {
        const pid_t ended = waitpid(child, status, WNOHANG);
        if (ended == child) {
            return 0;
        }
        if (ended == -1 && errno != EINTR) {
            return -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            while (waitpid(child, status, 0) == -1 && errno == EINTR) {
            }
            return commandTimedOut;
        }
        const timespec pause{0, pauseNanoseconds};
        nanosleep(&pause, nullptr);
        pauseNanoseconds = std::min(pauseNanoseconds * 2, 20000000L);
    }
}

// The process group of the isolated program running now, 0 when none: the
// interrupt handler ends it.
volatile sig_atomic_t runningGroup = 0;
void (*interruptCleanup)() = nullptr;

void interrupted(int signalNumber) {
    if (runningGroup > 0) {
        kill(-static_cast<pid_t>(runningGroup), SIGKILL);
    }
    if (interruptCleanup != nullptr) {
        interruptCleanup();
    }
    // Die by the signal itself, as the shell expects; it is delivered once
    // the handler returns.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Waits for an isolated child, as waitForChild does, but ends its whole
// process group before reaping it: until then the group's number cannot be
// reused, so the kill never reaches a stranger.
int waitForGroup(pid_t child, int seconds, int* status) {
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
    runningGroup = 0;
    return result;
}

// A plain program stays in our process group so that Ctrl-C reaches it too;
// only the program itself is stopped at its time limit. An isolated one
// (seconds > 0 or not) gets a group of its own and the null device as its
// input, and the group is ended with it: a forked child of a student's
// function cannot outlive the grading. A grandchild that leaves the group
// on purpose (setsid) escapes; nothing a student writes by mistake does.
int runProgram(const std::string& program, const Words& arguments, int seconds, bool isolated) {
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
    int spawned = 0;
    if (isolated) {
        posix_spawnattr_t attributes;
        posix_spawn_file_actions_t actions;
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        // The interrupt handler must know the group as soon as it exists.
        const sigset_t blocked = interruptSignals();
        sigset_t previous;
        sigprocmask(SIG_BLOCK, &blocked, &previous);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setsigmask(&attributes, &previous);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
        spawned = posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
        if (spawned == 0) {
            runningGroup = child;
        }
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    } else {
        spawned = posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
    }
    if (spawned != 0) {
        reclaimConsole();
        if (isolated && (spawned == EACCES || spawned == EPERM)) {
            return commandNotRunnable;
        }
        std::fprintf(stderr, "%s: cannot be started\n", arguments[0].c_str());
        return commandNotFound;
    }
    int status = 0;
    const int waited = isolated ? waitForGroup(child, seconds, &status)
                                : waitForChild(child, seconds, &status);
    reclaimConsole();
    if (waited != 0) {
        return waited;
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

int runCommandLine(const char* commandLine, int seconds, bool isolated) {
    const Words words = splitWords(commandLine);
    if (words.empty()) {
        return 0;
    }
    if (words[0] == "del") {
        return deleteMatching(words);
    }
    std::string program = findProgram(words[0]);
    if (program.empty() && isolated && words[0].find('/') != std::string::npos &&
        isRegularFile(words[0])) {
        program = words[0];  // not executable here: let the system say why
    }
    if (program.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: command not found\n", words[0].c_str());
        return commandNotFound;
    }
    const std::string name = withoutExe(program.substr(program.rfind('/') + 1));
    if (name == "pdflatex") {
        return runProgram(program, pdflatexArguments(words), seconds, isolated);
    }
    if (name == "tcc") {
        return runProgram(program, tccArguments(words), seconds, isolated);
    }
    return runProgram(program, words, seconds, isolated);
}
}  // namespace

int runCommand(const char* commandLine) { return runCommandLine(commandLine, 0, false); }

int runCommandWithTimeLimit(const char* commandLine, int seconds) {
    return runCommandLine(commandLine, seconds, true);
}

void cleanUpOnInterrupt(void (*cleanup)()) {
    interruptCleanup = cleanup;
    struct sigaction action {};
    action.sa_handler = interrupted;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal ignored when we started (nohup, a background job) stays ignored.
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(signalNumber, &action, nullptr);
        }
    }
}
