#include "key/plots/draw.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "generate/questions.h"
#include "generate/text_file.h"
#include "key/base/scratch.h"
#include "key/base/words.h"
#include "platform/platform.h"

PlotDrawing drawPlot(const ExamServices& services, const char* pngName,
                     const std::function<int(const char*, const char*, const char*)>& write) {
    std::remove(pngName);
    PlotDrawing drawing;
    if (makeScratch(plotFolderPrefix) != 0) {
        drawing.drawn = noScratchFolder;
        return drawing;
    }
    // Drawn in the scratch folder and renamed into place: a link or a pipe
    // at pngName is replaced, never written through.
    const std::string drawn = scratchPath(plotPictureName);
    if (write(scratchPath(plotScriptName).c_str(), scratchPath(plotDataName).c_str(), drawn.c_str()) == 0) {
        // gnuplot takes "/" on Windows too, and reads "\\" in its strings as an escape.
        const std::string command = std::string(gnuplotProgram) + " " + scratchCommandPath(plotScriptName);
        drawing.gnuplot = services.runCommandWithTimeLimit(command.c_str(), plotTimeLimitSeconds);
        std::error_code error;
        if (ranAndSucceeded(drawing.gnuplot) && std::filesystem::exists(drawn, error) &&
            replaceFile(drawn.c_str(), pngName) == 0) {
            drawing.drawn = 0;
        }
    }
    removeScratch();
    // cppcheck (2.10) reads the call through the services' table as
    // RunResult's constructor keeping a pointer into `command`; it keeps none.
    // cppcheck-suppress returnDanglingLifetime
    return drawing;
}

int writePlotFiles(const char* dataName, const std::function<void(std::FILE*)>& writeData,
                   const char* scriptName, const std::function<void(std::FILE*)>& writeScript) {
    for (const auto& [name, write] : {std::pair{dataName, &writeData}, std::pair{scriptName, &writeScript}}) {
        std::FILE* file = openTextFile(name, nullptr);
        if (file == nullptr) {
            return -1;
        }
        (*write)(file);
        if (closeTextFile(file, name, nullptr) != 0) {
            return -1;
        }
    }
    return 0;
}

std::string plotString(const std::string& text) {
    std::string result = "\"";
    for (const char c : text) {
        if (c == '\n') {
            result += "\\n";
        } else {
            result += c == '"' || c == '\\' ? '\'' : c;
        }
    }
    return result + "\"";
}

std::string gnuplotFailure(const RunResult& gnuplot) {
    if (gnuplot.timedOut) {
        return ": gnuplot did not finish within " + std::to_string(plotTimeLimitSeconds) + " s.";
    }
    if (gnuplot.start == RunStart::notStartable) {
        return ": gnuplot is there, but the system would not start it.";
    }
    if (ranAndSucceeded(gnuplot) || gnuplot.start != RunStart::started) {
        return ".";
    }
    return " (gnuplot status " + std::to_string(shellStatus(gnuplot)) + ").";
}

void sayNotDrawn(const char* pngName, const PlotDrawing& drawing) {
    std::fflush(stdout);
    const std::string name = pngName;
    if (drawing.drawn == noScratchFolder) {
        sayProblem(name + " was not drawn: cannot make a scratch folder here: " + std::strerror(errno) + ".");
    } else if (drawing.gnuplot.start == RunStart::notFound) {
        sayProblem(gnuplotMissingLine(pngName));
    } else {
        sayProblem(name + " was not drawn" + gnuplotFailure(drawing.gnuplot));
    }
}
