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

// Writes a plot's script and data with `write` (script, data, PNG name; 0
// or -1) into a scratch folder of its own, and runs gnuplot on them within
// plotTimeLimitSeconds, through the services' runCommandWithTimeLimit. An
// old `pngName` goes first, so that it cannot pass for this one. Returns 0
// when it drew `pngName`, noScratchFolder (errno set), -1 when a file was
// not written or gnuplot drew nothing, otherwise gnuplot's status.
int drawPlot(const ExamServices& services, const char* pngName,
             const std::function<int(const char*, const char*, const char*)>& write);

// Writes a plot's data and then its script, each as a text file through
// the one writer, with `writeData` and `writeScript`. Returns 0, or -1
// after the writer said which could not be written.
int writePlotFiles(const char* dataName, const std::function<void(std::FILE*)>& writeData,
                   const char* scriptName, const std::function<void(std::FILE*)>& writeScript);

// A gnuplot string in double quotes: line ends as \n, and a quote or a
// backslash of the text as ', so that no text can end the string early.
std::string plotString(const std::string& text);

// Why `pngName` was not drawn, after drawPlot returned `status` (not 0): one
// line without its line end, the same for every picture the key draws.
std::string notDrawnLine(const char* pngName, int status);

// Says notDrawnLine on stderr.
void sayNotDrawn(const char* pngName, int status);
