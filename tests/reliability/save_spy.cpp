// A test helper loaded into the program with LD_PRELOAD; it changes nothing
// the program does, it only watches and slows its saves.
//
// MOCK_MIDTERM_SAVE_LOG=path  before each rename onto "exam.dat", appends the
//                             bytes being renamed to `path`, so a test learns
//                             every record the program saved, in order.
// MOCK_MIDTERM_SAVE_DELAY_MS=n  sleeps n ms before each flush of a file (not
//                             of the console), in each fsync and before each
//                             rename, so that a kill at a random instant
//                             often lands in the middle of a save.
// Always: a save's temp renamed before it was fsynced is said on stderr
// ("save spy: ... never synced"), as a crash then could leave it empty.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
template <typename Function>
Function nextFunction(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    Function function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);  // no object-to-function cast
    return function;
}

void pauseIfAsked() {
    const char* delay = std::getenv("MOCK_MIDTERM_SAVE_DELAY_MS");
    if (delay == nullptr) {
        return;
    }
    const long milliseconds = std::strtol(delay, nullptr, 10);
    timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    nanosleep(&wait, nullptr);
}

bool endsWith(const char* text, const char* suffix) {
    const std::size_t textLength = std::strlen(text);
    const std::size_t suffixLength = std::strlen(suffix);
    return textLength >= suffixLength && std::strcmp(text + textLength - suffixLength, suffix) == 0;
}

void appendCopy(const char* source, const char* logPath) {
    const int in = open(source, O_RDONLY);
    if (in < 0) {
        return;
    }
    const int out = open(logPath, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
        char buffer[4096];
        ssize_t count = 0;
        while ((count = read(in, buffer, sizeof buffer)) > 0) {
            if (write(out, buffer, static_cast<std::size_t>(count)) != count) {
                break;
            }
        }
        close(out);
    }
    close(in);
}
// The files fsynced lately, by device and inode.
struct SyncedFile {
    dev_t device;
    ino_t inode;
};
SyncedFile synced[64];
unsigned syncCount = 0;

bool wasSynced(const char* path) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        return true;  // not ours to judge
    }
    for (unsigned i = 0; i < syncCount && i < 64; ++i) {
        if (synced[i].device == info.st_dev && synced[i].inode == info.st_ino) {
            return true;
        }
    }
    return false;
}
}  // namespace

extern "C" int fflush(FILE* stream) {
    static const auto real = nextFunction<int (*)(FILE*)>("fflush");
    if (stream != nullptr && stream != stdout && stream != stderr) {
        pauseIfAsked();
    }
    return real(stream);
}

extern "C" int fsync(int descriptor) {
    static const auto real = nextFunction<int (*)(int)>("fsync");
    pauseIfAsked();
    const int result = real(descriptor);
    struct stat info {};
    if (result == 0 && fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
        synced[syncCount++ % 64] = {info.st_dev, info.st_ino};
    }
    return result;
}

extern "C" int rename(const char* source, const char* target) {
    static const auto real = nextFunction<int (*)(const char*, const char*)>("rename");
    if (std::strstr(source, ".tmp-") != nullptr && !wasSynced(source)) {
        std::fprintf(stderr, "save spy: %s replaced by a temp never synced\n", target);
    }
    if (endsWith(target, "exam.dat")) {
        if (const char* log = std::getenv("MOCK_MIDTERM_SAVE_LOG")) {
            appendCopy(source, log);
        }
        pauseIfAsked();
    }
    return real(source, target);
}
