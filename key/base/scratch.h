// The key's scratch files. They all live in one folder made new for each
// run, so that no link or pipe placed in the exam folder is ever written
// through or read, and two runs at once never share a file. The folder goes
// on every way out: the end of the command, an error, Ctrl-C, SIGTERM, SIGHUP.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/services.h"
#include "record/exam_files.h"

// The folder of a grading or of a plot: the prefix and six characters.
constexpr const char* harnessFolderPrefix = ".key-harness.";
constexpr const char* plotFolderPrefix = ".key-plot.";

// The files in it.
constexpr const char* harnessSourceName = "harness.c";
constexpr const char* harnessProgramName = "harness.exe";
constexpr const char* harnessResultsName = "results.txt";
constexpr const char* repairSourceName = "repairs.c";
constexpr const char* repairProgramName = "repairs.exe";
constexpr const char* repairResultsName = "repairs.txt";
constexpr const char* pairsSourceName = "pairs.c";
constexpr const char* pairsProgramName = "pairs.exe";
constexpr const char* plotScriptName = "plot.gp";
constexpr const char* plotDataName = "plot.dat";
constexpr const char* plotPictureName = "plot.png";

// The platform's file operations without the syncs to disk: scratch files
// are removed within the second, and no crash can leave one that matters.
FileOps scratchFileOps();

// Where a scratch folder is made: a grading's in a private temporary folder,
// out of reach of the exam folder and of everything the student's code could
// name; a plot's in the working folder, where its picture is renamed into place.
enum class ScratchPlace { privateTemp, workingFolder };

// Makes the folder; from then on an interrupt ends the program the key runs
// and removes the folder.
// Returns 0, or -1 with errno set (no folder is made).
int makeScratch(const char* prefix, ScratchPlace place = ScratchPlace::workingFolder);

// The folder's path, absolute for a private one.
const char* scratchFolder();

// "<folder>/<name>", for the files the key opens itself.
std::string scratchPath(const char* name);

// ".\<folder>\<name>", for command lines, which are written for Windows.
std::string scratchCommandPath(const char* name);

// Removes the folder and the files above in it. Harmless when there is
// none, and safe inside a signal handler.
void removeScratch();

// Removes the folder with whatever is in it, such as the files a student's
// function wrote there. Not for a signal handler.
void removeWholeScratch();
