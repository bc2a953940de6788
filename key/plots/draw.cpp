#include "key/plots/draw.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "key/grading/scratch.h"

int drawScratchPlot(const ExamServices& services, const char* pngName) {
    // gnuplot takes "/" on Windows too, and reads "\\" in its strings as an escape.
    const std::string command = std::string(gnuplotProgram) + " " + scratchCommandPath(plotScriptName);
    const int status = services.runCommandWithTimeLimit(command.c_str(), plotTimeLimitSeconds);
    std::error_code error;
    return status == 0 && !std::filesystem::exists(pngName, error) ? -1 : status;
}
