// Scratch folders and reading files that may not be files at all.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

int makeScratchFolder(const char* prefix, char* name, std::size_t size) {
    const int length = std::snprintf(name, size, "%sXXXXXX", prefix);
    if (length < 0 || static_cast<std::size_t>(length) >= size) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // mkdtemp creates it exclusively, with mode 0700.
    return mkdtemp(name) != nullptr ? 0 : -1;
}

int removeEmptyFolder(const char* path) { return rmdir(path); }

int openRegularFile(const char* path, std::FILE** file) {
    // O_NONBLOCK: opening a pipe with no writer would wait for one for ever.
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == EISDIR ? notRegularFile : -1;
    }
    struct stat info {};
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool regular = S_ISREG(info.st_mode);
        close(descriptor);
        return regular ? -1 : notRegularFile;
    }
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags != -1) {
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    }
    *file = fdopen(descriptor, "rb");
    if (*file == nullptr) {
        close(descriptor);
        return -1;
    }
    return 0;
}
