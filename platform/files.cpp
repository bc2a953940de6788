// The save's file operations on either OS, over files_posix.cpp or
// files_windows.cpp, and what both share: the temp files' naming.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace {
constexpr std::size_t tempSuffixLength = 6;

using Name = std::filesystem::path::string_type;  // compared as the OS spells it: nothing to convert

// `name` is `target` + tempNameMark + six letters or digits, as createTempBeside names its files.
bool isTempName(const Name& name, const Name& target) {
    const std::string mark = tempNameMark;
    const std::size_t start = target.size() + mark.size();
    if (name.size() != start + tempSuffixLength || name.compare(0, target.size(), target) != 0) {
        return false;
    }
    for (std::size_t i = 0; i < mark.size(); ++i) {
        if (name[target.size() + i] != static_cast<Name::value_type>(mark[i])) {
            return false;
        }
    }
    for (std::size_t i = start; i < name.size(); ++i) {
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

int readWholeFile(const char* path, std::string* content, bool text) {
    std::FILE* file = nullptr;
    const int opened = openRegularFile(path, &file);
    if (opened != 0) {
        return opened;
    }
    if (text) {
        useTextLineEnds(file);
    }
    content->clear();
    char buffer[8192];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content->append(buffer, count);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        errno = EIO;
        return -1;
    }
    return 0;
}

int replaceFileWith(const char* path, const void* bytes, std::size_t size, const FileOps& files,
                    bool text) {
    std::string tempPath;
    std::FILE* temp = files.createTemp(path, &tempPath);
    if (temp == nullptr) {
        return -1;
    }
    if (text) {
        useTextLineEnds(temp);
    }
    bool written = files.write(temp, bytes, size) == 0 && files.sync(temp) == 0;
    int failure = errno;
    if (files.close(temp) != 0 && written) {
        written = false;
        failure = errno;
    }
    if (written && files.rename(tempPath.c_str(), path) != 0) {
        written = false;
        failure = errno;
    }
    if (!written) {
        files.remove(tempPath.c_str());
        errno = failure;
        return -1;
    }
    // The new file is in place either way; a folder that cannot be synced
    // only leaves the rename to the system's next flush.
    files.syncFolder(path);
    return 0;
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
