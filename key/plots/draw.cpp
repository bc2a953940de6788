#include "key/plots/draw.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "key/grading/scratch.h"
#include "platform/platform.h"

int drawPlot(const ExamServices& services, const char* pngName,
             const std::function<int(const char*, const char*, const char*)>& write) {
    std::remove(pngName);
    if (makeScratch(plotFolderPrefix) != 0) {
        return noScratchFolder;
    }
    // Drawn in the scratch folder and renamed into place: a link or a pipe
    // at pngName is replaced, never written through.
    const std::string drawn = scratchPath(plotPictureName);
    int status = -1;
    if (write(scratchPath(plotScriptName).c_str(), scratchPath(plotDataName).c_str(), drawn.c_str()) == 0) {
        // gnuplot takes "/" on Windows too, and reads "\\" in its strings as an escape.
        const std::string command = std::string(gnuplotProgram) + " " + scratchCommandPath(plotScriptName);
        status = services.runCommandWithTimeLimit(command.c_str(), plotTimeLimitSeconds);
        std::error_code error;
        if (status == 0 && (!std::filesystem::exists(drawn, error) ||
                            replaceFile(drawn.c_str(), pngName) != 0)) {
            status = -1;
        }
    }
    removeScratch();
    return status;
}
