// gnuplot run on a plot script in the key's scratch folder.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "platform/services.h"

// How long gnuplot may take to draw key.png or check.png: well under a
// second is usual.
constexpr int plotTimeLimitSeconds = 20;

// What drawPlot returns when it could not make its scratch folder.
constexpr int noScratchFolder = -4;

// What drawPlot did.
struct PlotDrawing {
    int drawn = -1;     // 0 when it drew the picture, noScratchFolder (errno set), -1 when not
    RunResult gnuplot;  // how gnuplot ran; a success with drawn -1: a file was not written, or
                        // gnuplot drew nothing
};

// Writes a plot's script and data with `write` (script, data, PNG name; 0
// or -1) into a scratch folder of its own, and runs gnuplot on them within
// plotTimeLimitSeconds, through the services' runCommandWithTimeLimit. An
// old `pngName` goes first, so that it cannot pass for this one.
PlotDrawing drawPlot(const ExamServices& services, const char* pngName,
             const std::function<int(const char*, const char*, const char*)>& write);

// Writes a plot's data and then its script, each as a text file through
// the one writer, with `writeData` and `writeScript`. Returns 0, or -1
// after the writer said which could not be written.
int writePlotFiles(const char* dataName, const std::function<void(std::FILE*)>& writeData,
                   const char* scriptName, const std::function<void(std::FILE*)>& writeScript);

// A gnuplot string in double quotes: line ends as \n, and a quote or a
// backslash of the text as ', so that no text can end the string early.
std::string plotString(const std::string& text);

// Why gnuplot drew nothing, after " was not drawn" (a picture's name): ":
// gnuplot did not finish within 20 s.", " (gnuplot status 1)."; "." when it
// ran to a success or could not be isolated. Not for a gnuplot not found,
// which gnuplotMissingLine says.
std::string gnuplotFailure(const RunResult& gnuplot);

// Says in one line on stderr why `pngName` was not drawn, after drawPlot
// returned `drawing` (drawn not 0).
void sayNotDrawn(const char* pngName, const PlotDrawing& drawing);
