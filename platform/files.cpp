// The save's file operations, on either OS: the OS-specific ones come from
// files_posix.cpp or files_windows.cpp.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace {
std::FILE* createTemp(const char* target, std::string* tempPath) {
    *tempPath = std::string(target) + ".tmp";
    // Opened as it is, a link at the temp name would have the record
    // written into the file it points to, such as the student's answers.
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(*tempPath, error))) {
        std::remove(tempPath->c_str());
    }
    return std::fopen(tempPath->c_str(), "wb");
}

int writeAll(std::FILE* file, const void* bytes, std::size_t size) {
    return std::fwrite(bytes, 1, size, file) == size ? 0 : -1;
}

int closeFile(std::FILE* file) { return std::fclose(file) == 0 ? 0 : -1; }

int removeFile(const char* path) { return std::remove(path) == 0 ? 0 : -1; }
}  // namespace

const FileOps& platformFileOps() {
    static const FileOps files{
        createTemp, writeAll, flushToDisk, closeFile, replaceFile, removeFile, syncFolder,
    };
    return files;
}
