// The save's file operations on either OS, over files_posix.cpp or
// files_windows.cpp, and what both share: the temp files' naming.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace {
constexpr std::size_t tempSuffixLength = 6;

using Name = std::filesystem::path::string_type;  // compared as the OS spells it: nothing to convert

// `name` is `target` + "." + six letters or digits, as createTempBeside names its files.
bool isTempName(const Name& name, const Name& target) {
    if (name.size() != target.size() + 1 + tempSuffixLength || name.compare(0, target.size(), target) != 0 ||
        name[target.size()] != '.') {
        return false;
    }
    for (std::size_t i = target.size() + 1; i < name.size(); ++i) {
        const auto c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}
}  // namespace

int removeStaleTemps(const char* target) {
    const std::filesystem::path targetPath(target);
    const std::filesystem::path folder =
        targetPath.has_parent_path() ? targetPath.parent_path() : std::filesystem::path(".");
    const Name targetName = targetPath.filename().native();
    std::error_code error;
    int removed = 0;
    for (std::filesystem::directory_iterator entry(folder, error);
         entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code ignored;
        // A link is not one of ours, even at such a name: only regular files go.
        if (isTempName(entry->path().filename().native(), targetName) &&
            entry->symlink_status(ignored).type() == std::filesystem::file_type::regular &&
            std::filesystem::remove(entry->path(), ignored)) {
            ++removed;
        }
    }
    return error ? -1 : removed;
}

const FileOps& platformFileOps() {
    static const FileOps files{
        createTempBeside,
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
