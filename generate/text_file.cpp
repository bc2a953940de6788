#include "generate/text_file.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {
void reportWriteFailure(const char* fileName, const char* writer) {
    if (writer != nullptr) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", writer, fileName, std::strerror(errno));
    }
}
}  // namespace

std::FILE* openTextFile(const char* fileName, const char* writer) {
    std::FILE* file = std::fopen(fileName, "w");
    if (file == nullptr) {
        reportWriteFailure(fileName, writer);
    }
    return file;
}

int closeTextFile(std::FILE* file, const char* fileName, const char* writer) {
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) {
        reportWriteFailure(fileName, writer);
        return -1;
    }
    return 0;
}

// printf's own formats, so the texts keep every number exactly as they were
// always printed.
void appendText(std::string* content, const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
    std::va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    if (length > 0) {
        const std::size_t start = content->size();
        content->resize(start + static_cast<std::size_t>(length) + 1);
        va_start(arguments, format);
        std::vsnprintf(content->data() + start, static_cast<std::size_t>(length) + 1, format,
                       arguments);
        va_end(arguments);
        content->resize(start + static_cast<std::size_t>(length));
    }
}

int writeTextFile(const char* fileName, const std::string& content, const char* writer,
                  const FileOps& files) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(fileName, error);
    const auto writable = std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                          std::filesystem::perms::others_write;
    if (status.type() == std::filesystem::file_type::regular &&
        (status.permissions() & writable) == std::filesystem::perms::none) {
        errno = EACCES;  // as writing it in place would have been refused
    } else if (replaceFileWith(fileName, content.data(), content.size(), files, true) == 0) {
        return 0;
    }
    reportWriteFailure(fileName, writer);
    return -1;
}
