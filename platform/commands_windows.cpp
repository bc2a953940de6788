// Commands on Windows: the exam's command lines are the command
// interpreter's own, so this file only finds the course's programs and hands
// the line to cmd.exe, run in a job by children_windows.cpp. POSIX has no
// such interpreter; command_line_posix.cpp is its own.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/win32.h"

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

RunResult runCommandWithTimeLimit(const char* commandLine, int seconds) {
    const std::string courseLine = withCourseProgram(commandLine);
    if (courseLine.empty()) {
        return notStarted(RunStart::notFound);
    }
    JobRun run;
    run.line = "cmd.exe /d /s /c \"" + courseLine + "\"";
    run.seconds = seconds;
    return runInJob(run);
}

std::string ownProgramCommand(const char* argv0) {
    const std::string program = ownProgramPath();
    return quotedIfBlank(!program.empty() ? program : std::string(argv0 != nullptr ? argv0 : ""));
}
