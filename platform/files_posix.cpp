#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

int flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return -1;
    }
    return fsync(fileno(file));
}

void useTextLineEnds(std::FILE*) {}

int createFileIfAbsent(const char* path) {
    const int descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (descriptor < 0) {
        return errno == EEXIST ? 1 : -1;
    }
    close(descriptor);
    return 0;
}

int removeUnlessPlainFile(const char* path) {
    struct stat info {};
    if (lstat(path, &info) != 0) {
        return errno == ENOENT ? 0 : -1;
    }
    if (S_ISDIR(info.st_mode) || (S_ISREG(info.st_mode) && info.st_nlink == 1)) {
        return 0;  // a folder cannot be written through: the writer fails on it
    }
    return unlink(path);
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

std::FILE* createTempBeside(const char* target, std::string* tempPath) {
    // A device is never replaced: `--csv /dev/null` run as root would
    // otherwise leave the system without its null device.
    struct stat existing {};
    if (lstat(target, &existing) == 0 && (S_ISCHR(existing.st_mode) || S_ISBLK(existing.st_mode))) {
        errno = EPERM;
        return nullptr;
    }
    std::string name = std::string(target) + tempNameMark + "XXXXXX";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    // O_EXCL: a link, a named pipe or a file someone put there is never
    // opened; O_CLOEXEC: the programs the exam runs do not get it.
    const int descriptor = mkostemp(buffer.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return nullptr;
    }
    name.assign(buffer.data());
    struct stat old {};
    mode_t mode = 0;
    if (stat(target, &old) == 0) {
        mode = old.st_mode & 0777;  // a read-only exam.dat stays read-only
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;  // what fopen would have made
    }
    std::FILE* stream = nullptr;
    if (fchmod(descriptor, mode) == 0) {
        stream = fdopen(descriptor, "wb");
    }
    if (stream == nullptr) {
        const int failure = errno;
        close(descriptor);
        unlink(name.c_str());
        errno = failure;
        return nullptr;
    }
    *tempPath = name;
    return stream;
}

namespace {
int lockedFolder = -1;  // the descriptor that holds the lock, open until the end

bool sameFolder(int one, int other) {
    struct stat a {};
    struct stat b {};
    return fstat(one, &a) == 0 && fstat(other, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The key's mark beside the lock: a read lock on a byte of the folder, which
// another copy can see without taking it (an open file's own lock, so that
// no other descriptor of the folder closed by this program drops it).
#ifdef F_OFD_SETLK
constexpr int setMark = F_OFD_SETLK;
constexpr int getMark = F_OFD_GETLK;
#else
constexpr int setMark = F_SETLK;
constexpr int getMark = F_GETLK;
#endif

struct flock keyMark(short type) {
    struct flock mark {};
    mark.l_type = type;
    mark.l_whence = SEEK_SET;
    mark.l_len = 1;
    return mark;
}
}  // namespace

bool examFolderLockedByKey() {
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct flock mark = keyMark(F_WRLCK);
    const bool marked = folder >= 0 && fcntl(folder, getMark, &mark) == 0 && mark.l_type != F_UNLCK;
    if (folder >= 0) {
        close(folder);
    }
    return marked;
}

int lockExamFolder(bool byKey) {
    // The folder itself is locked, so no lock file appears beside the exam.
    // The descriptor stays open for the life of the program; the system
    // drops the lock when it ends, however it ends.
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return -1;
    }
    // flock is per open file: asked again, this program would lock itself out.
    if (lockedFolder >= 0 && sameFolder(folder, lockedFolder)) {
        close(folder);
        return 0;
    }
    if (flock(folder, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(folder);
        return held ? 1 : -1;
    }
    if (byKey) {
        struct flock mark = keyMark(F_RDLCK);
        fcntl(folder, setMark, &mark);  // without it only a refusal's words are vaguer
    }
    lockedFolder = folder;
    return 0;
}

void unlockExamFolder() {
    if (lockedFolder >= 0) {
        close(lockedFolder);  // the lock goes with the folder's last descriptor
        lockedFolder = -1;
    }
}
