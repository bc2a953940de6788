// The save's file operations on either OS, over files_posix.cpp or
// files_windows.cpp.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

const FileOps& platformFileOps() {
    static const FileOps files{
        [](const char* target, std::string* tempPath) {
            *tempPath = std::string(target) + ".tmp";
            // Opened as it is, a link at the temp name would have the record
            // written into the file it points to, such as the student's answers.
            std::error_code error;
            if (std::filesystem::is_symlink(std::filesystem::symlink_status(*tempPath, error))) {
                std::remove(tempPath->c_str());
            }
            return std::fopen(tempPath->c_str(), "wb");
        },
        [](std::FILE* file, const void* bytes, std::size_t size) {
            return std::fwrite(bytes, 1, size, file) == size ? 0 : -1;
        },
        flushToDisk,
        [](std::FILE* file) { return std::fclose(file) == 0 ? 0 : -1; },
        replaceFile,
        [](const char* path) { return std::remove(path) == 0 ? 0 : -1; },
        syncFolder,
    };
    return files;
}
