#include "key/running/student_program.h"

#include <cstdio>

#include "generate/text_file.h"
#include "key/base/scratch.h"
#include "key/running/harness.h"
#include "platform/platform.h"

int writeStudentProgram(const std::vector<GradePoint>& points, const std::string* source) {
    const FileOps files = scratchFileOps();
    if (writeTextFile(scratchPath(harnessSourceName).c_str(), harnessSource(points), nullptr, files) != 0) {
        return -1;
    }
    if (source == nullptr ||
        replaceFileWith(scratchPath(studentSourceName).c_str(), source->data(), source->size(), files) != 0) {
        return -2;
    }
    return 0;
}

// cppcheck (2.10) reads each call through the services' table below as
// RunResult's constructor keeping a pointer into the command's string; a
// RunResult keeps none, so those three lines are let pass.

RunResult compileStudentProgram(const ExamServices& services, int timeLimitSeconds) {
    const std::string compileCommand = std::string("tcc.exe -o ") + harnessProgramName + " " +
                                       harnessSourceName + " " + studentSourceName;
    // cppcheck-suppress returnDanglingLifetime
    return services.runFenced(compileCommand.c_str(), scratchFolder(), timeLimitSeconds);
}

RunResult runStudentFunction(const ExamServices& services, const char* function, int timeLimitSeconds) {
    std::remove(scratchPath(harnessResultsName).c_str());
    // The test program writes its results beside itself, in its own folder.
    const std::string command = std::string(".\\") + harnessProgramName + " " + function +
                                " " + harnessResultsName;
    // cppcheck-suppress returnDanglingLifetime
    return services.runFenced(command.c_str(), scratchFolder(), timeLimitSeconds);
}

RunResult runCandidatesQuietly(const ExamServices& services, const std::string& commandLine, int seconds) {
    // cppcheck-suppress returnDanglingLifetime
    return services.runFenced((commandLine + " >NUL 2>NUL").c_str(), scratchFolder(), seconds);
}
