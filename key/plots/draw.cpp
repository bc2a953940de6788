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

std::string notDrawnLine(const char* pngName, int status) {
    const std::string name = pngName;
    if (status == noScratchFolder) {
        return name + " was not drawn: cannot make a scratch folder here: " + std::strerror(errno) + ".";
    }
    if (status == commandTimedOut) {
        return name + " was not drawn: gnuplot did not finish within " + std::to_string(plotTimeLimitSeconds) +
               " s.";
    }
    if (status == commandNotFound) {
        return gnuplotMissingLine(pngName);
    }
    if (status == -1) {
        return name + " was not drawn.";
    }
    return name + " was not drawn (gnuplot status " + std::to_string(status) + ").";
}

void sayNotDrawn(const char* pngName, int status) {
    std::fflush(stdout);
    sayProblem(notDrawnLine(pngName, status));
}
