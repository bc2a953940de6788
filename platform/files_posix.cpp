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
    if (std::rename(source, target) != 0) {
        return -1;
    }
    // The rename is durable only once the folder that holds it is synced.
    const std::string path = target;
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
    return 0;
}
