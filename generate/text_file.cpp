#include "generate/text_file.h"

#include <cerrno>
#include <cstring>

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

int writeTextFile(const char* fileName, const std::string& content, const char* writer) {
    std::FILE* file = openTextFile(fileName, writer);
    if (file == nullptr) {
        return -1;
    }
    std::fwrite(content.data(), 1, content.size(), file);
    return closeTextFile(file, fileName, writer);
}
