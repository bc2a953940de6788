#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"

int flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return -1;
    }
    return fsync(fileno(file));
}

int createFileIfAbsent(const char* path) {
    const int descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (descriptor < 0) {
        return errno == EEXIST ? 1 : -1;
    }
    close(descriptor);
    return 0;
}

int replaceFile(const char* source, const char* target) {
    return std::rename(source, target) == 0 ? 0 : -1;
}

int syncFolder(const char* path) {
    const std::string name = path;
    const auto slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0) {
        return -1;
    }
    const int result = fsync(descriptor);
    close(descriptor);
    return result;
}
