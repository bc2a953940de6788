#include "generate/text_file.h"

#include <cerrno>
#include <cstring>

namespace {
void reportWriteFailure(const char* fileName) {
    std::fprintf(stderr, "\nmock-midterm: cannot write %s: %s\n", fileName, std::strerror(errno));
}
}  // namespace

std::FILE* openTextFile(const char* fileName) {
    std::FILE* file = std::fopen(fileName, "w");
    if (file == nullptr) {
        reportWriteFailure(fileName);
    }
    return file;
}

int closeTextFile(std::FILE* file, const char* fileName) {
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) {
        reportWriteFailure(fileName);
        return -1;
    }
    return 0;
}
