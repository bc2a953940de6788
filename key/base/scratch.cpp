#include "key/base/scratch.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/fence.h"
#include "platform/platform.h"

namespace {
constexpr std::size_t longestPath = 4096;
const char* const scratchNames[] = {studentSourceName, harnessSourceName, harnessProgramName, harnessResultsName,
                                    repairSourceName,  repairProgramName,  repairResultsName,
                                    pairsSourceName,   pairsProgramName,
                                    plotScriptName,    plotDataName,       plotPictureName};
constexpr std::size_t scratchCount = sizeof scratchNames / sizeof scratchNames[0];

// Made before they are needed: the signal handler may not allocate.
char folder[longestPath];
char paths[scratchCount][longestPath + 32];
volatile bool folderMade = false;

int noSync(std::FILE*) { return 0; }
int noFolderSync(const char*) { return 0; }
}  // namespace

FileOps scratchFileOps() {
    FileOps files = platformFileOps();
    files.sync = noSync;
    files.syncFolder = noFolderSync;
    return files;
}

int makeScratch(const char* prefix, ScratchPlace place) {
    removeScratch();
    const int made = place == ScratchPlace::privateTemp ? makePrivateFolder(prefix, folder, sizeof folder)
                                                        : makeScratchFolder(prefix, folder, sizeof folder);
    if (made != 0) {
        return -1;
    }
    for (std::size_t i = 0; i < scratchCount; ++i) {
        std::snprintf(paths[i], sizeof paths[i], "%s/%s", folder, scratchNames[i]);
    }
    folderMade = true;
    cleanUpOnInterrupt(removeScratch);
    return 0;
}

const char* scratchFolder() { return folder; }

std::string scratchPath(const char* name) { return std::string(folder) + "/" + name; }

std::string scratchCommandPath(const char* name) {
    return std::string(".\\") + folder + "\\" + name;
}

void removeScratch() {
    if (!folderMade) {
        return;
    }
    for (const char* path : paths) {
        std::remove(path);
    }
    if (removeEmptyFolder(folder) == 0) {
        folderMade = false;
    }
}

void removeWholeScratch() {
    removeScratch();
    if (folderMade) {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
        folderMade = !!error;
    }
}
