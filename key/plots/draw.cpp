#include "key/plots/draw.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "key/grading/scratch.h"

int drawPlot(const ExamServices& services, const char* pngName,
             const std::function<int(const char*, const char*, const char*)>& write) {
    std::remove(pngName);
    if (makeScratch(plotFolderPrefix) != 0) {
        return noScratchFolder;
    }
    int status = -1;
    if (write(scratchPath(plotScriptName).c_str(), scratchPath(plotDataName).c_str(), pngName) == 0) {
        // gnuplot takes "/" on Windows too, and reads "\\" in its strings as an escape.
        const std::string command = std::string(gnuplotProgram) + " " + scratchCommandPath(plotScriptName);
        status = services.runCommandWithTimeLimit(command.c_str(), plotTimeLimitSeconds);
        std::error_code error;
        status = status == 0 && !std::filesystem::exists(pngName, error) ? -1 : status;
    }
    removeScratch();
    return status;
}
