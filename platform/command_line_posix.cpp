// The exam's command lines are written for the Windows command interpreter.
// POSIX has none, so this is what each of those lines means here: `del` is
// built in, Windows paths and ".exe" names find their POSIX programs,
// pdflatex gets options it understands, and a tcc line that links gets the
// math library that Windows links by itself. Programs run directly: nothing
// of the line reaches a shell. Windows has no counterpart of this file:
// cmd.exe is its own interpreter of these lines (commands_windows.cpp).
#include "platform/posix.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace {
bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string withoutExe(const std::string& name) {
    return name.ends_with(".exe") ? name.substr(0, name.size() - 4) : name;
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

// Removes the regular files of the working folder that match any of the
// patterns; matching nothing is not an error.
int deleteMatching(const CommandWords& words) {
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

// TeX Live reads options only before the document and knows neither -quiet
// nor -silent; batch mode is what they ask for, and it also keeps an error in
// the document from stopping at pdflatex's own prompt.
CommandWords pdflatexArguments(const CommandWords& words) {
    CommandWords arguments{words[0]};
    CommandWords documents;
    bool batchMode = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "-quiet" || word == "-silent") {
            if (!batchMode) {
                arguments.push_back("-interaction=batchmode");
                batchMode = true;
            }
        } else {
            (word[0] == '-' ? arguments : documents).push_back(word);
        }
    }
    arguments.insert(arguments.end(), documents.begin(), documents.end());
    return arguments;
}

// Windows' C library holds the math functions; here they are in libm, which
// tcc links only when asked. A compile-only or preprocessing line links nothing.
CommandWords tccArguments(const CommandWords& words) {
    for (const std::string& word : words) {
        if (word == "-c" || word == "-E" || word == "-run") {
            return words;
        }
    }
    CommandWords arguments = words;
    arguments.push_back("-lm");
    return arguments;
}
}  // namespace

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
    return found.empty() && name.ends_with(".exe") ? searchPath(withoutExe(name)) : found;
}

CommandWords splitCommandLine(const char* commandLine) {
    CommandWords words;
    std::string word;
    bool quoted = false;  // as in cmd.exe, "a b" is one word a b
    bool started = false;  // "" is a word too
    for (const char* c = commandLine;; ++c) {
        const bool blank = *c == ' ' || *c == '\t' || *c == '\r' || *c == '\n';
        if (*c == '\0' || (blank && !quoted)) {
            if (started) {
                words.push_back(word);
                word.clear();
                started = false;
            }
            if (*c == '\0') {
                return words;
            }
        } else if (*c == '"') {
            quoted = !quoted;
            started = true;
        } else {
            word += *c == '\\' ? '/' : *c;
            started = true;
        }
    }
}

CommandWords programArguments(const CommandWords& words, const std::string& program) {
    const std::string name = withoutExe(program.substr(program.rfind('/') + 1));
    if (name == "pdflatex") {
        return pdflatexArguments(words);
    }
    return name == "tcc" ? tccArguments(words) : words;
}

const char* gnuplotWhereabouts() {
    return "gnuplot was found neither at ../gnuplot/bin/gnuplot nor through PATH: install gnuplot "
           "(Debian's gnuplot-nox)";
}

RunResult runCommandWithTimeLimit(const char* commandLine, int seconds) {
    const CommandWords words = splitCommandLine(commandLine);
    if (words.empty()) {
        return exitedWith(0);
    }
    if (words[0] == "del") {
        return exitedWith(deleteMatching(words));
    }
    std::string program = findProgram(words[0]);
    if (program.empty() && words[0].find('/') != std::string::npos &&
        isRegularFile(words[0])) {
        program = words[0];  // not executable here: let the system say why
    }
    if (program.empty()) {
        // A program named by its path (the course's gnuplot) is not found
        // without a word of ours, as on Windows: the caller says what to put where.
        if (words[0].find('/') == std::string::npos) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s: command not found\n", words[0].c_str());
        }
        return notStarted(RunStart::notFound);
    }
    return runProgram(program, programArguments(words, program), seconds);
}
