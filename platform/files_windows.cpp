// Files on Windows: flushed with FlushFileBuffers and replaced with
// MoveFileExW, names passed as wide strings.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <string>

#include "platform/platform.h"
#include "platform/random.h"

namespace {
constexpr int replaceAttempts = 10;
constexpr int tempNameAttempts = 100;
constexpr DWORD replaceDelayMilliseconds = 25;

int errnoFromWindows(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return EINVAL;
    default:
        return EIO;
    }
}

int failWithLastError() {
    errno = errnoFromWindows(GetLastError());
    return -1;
}

// File names are in the ANSI code page, as fopen takes them.
bool widen(const char* path, std::wstring* wide) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide->assign(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide->data(), length) != length) {
        return false;
    }
    wide->resize(static_cast<std::size_t>(length - 1));
    return true;
}

bool mustRetry(DWORD error) {
    // Antivirus and indexers open fresh files for a moment; that passes.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isReadOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// Six letters or digits from the clock, the process and the attempt.
// Unguessable they need not be: CREATE_NEW never opens a name taken.
std::string randomSuffix(int attempt) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t bits = splitMix64(static_cast<std::uint64_t>(counter.QuadPart) ^
                                    (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
                                    static_cast<std::uint64_t>(attempt));
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += letters[bits % 62];
        bits /= 62;
    }
    return suffix;
}

// A hash of the working folder's full path, as the system spells it, for
// the lock's name. Returns false when the path cannot be had.
bool folderHash(std::uint64_t* hash) {
    std::wstring path(32768, L'\0');
    DWORD length = 0;
    const HANDLE folder = CreateFileW(L".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder != INVALID_HANDLE_VALUE) {
        // The final path sees through substituted drives and junctions.
        length = GetFinalPathNameByHandleW(folder, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED);
        CloseHandle(folder);
    }
    if (length == 0 || length >= path.size()) {
        length = GetFullPathNameW(L".", static_cast<DWORD>(path.size()), path.data(), nullptr);
    }
    if (length == 0 || length >= path.size()) {
        return false;
    }
    path.resize(length);
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        path.erase(0, 4);  // the final path's prefix, which the full path lacks
    }
    // Windows names are the same in any case and with either slash.
    *hash = 0xCBF29CE484222325ull;  // FNV-1a
    for (const wchar_t c : path) {
        const wchar_t same = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
        *hash = (*hash ^ static_cast<std::uint64_t>(same)) * 0x100000001B3ull;
    }
    return true;
}
}  // namespace

void useTextLineEnds(std::FILE* file) {
    // The C runtime translates line ends below the stream, per descriptor.
    _setmode(_fileno(file), _O_TEXT);
}

int flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return -1;
    }
    const intptr_t handle = _get_osfhandle(_fileno(file));
    if (handle == -1) {
        errno = EBADF;
        return -1;
    }
    if (FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) == 0) {
        return failWithLastError();
    }
    return 0;
}

int createFileIfAbsent(const char* path) {
    std::wstring widePath;
    if (!widen(path, &widePath)) {
        errno = EINVAL;
        return -1;
    }
    const HANDLE file = CreateFileW(widePath.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder of that name makes CREATE_NEW fail with ERROR_ACCESS_DENIED.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || isFolder(widePath)) {
            return 1;
        }
        errno = errnoFromWindows(error);
        return -1;
    }
    CloseHandle(file);
    return 0;
}

int removeUnlessPlainFile(const char* path) {
    std::wstring widePath;
    if (!widen(path, &widePath)) {
        errno = EINVAL;
        return -1;
    }
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : failWithLastError();
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool plain = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (plain && !folder) {  // a hard link is a second name of the same file
        const HANDLE file = CreateFileW(widePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        BY_HANDLE_FILE_INFORMATION information{};
        plain = file == INVALID_HANDLE_VALUE || (GetFileInformationByHandle(file, &information) != 0 &&
                                                 information.nNumberOfLinks <= 1);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    if (plain) {
        return 0;
    }
    const BOOL removed = folder ? RemoveDirectoryW(widePath.c_str()) : DeleteFileW(widePath.c_str());
    return removed != 0 ? 0 : failWithLastError();
}

int replaceFile(const char* source, const char* target) {
    std::wstring wideSource;
    std::wstring wideTarget;
    if (!widen(source, &wideSource) || !widen(target, &wideTarget)) {
        errno = EINVAL;
        return -1;
    }
    // rename() fails when the target exists; MoveFileExW replaces it, and
    // write-through returns only once the move is on the disk.
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(wideSource.c_str(), wideTarget.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
            return 0;
        }
        const DWORD error = GetLastError();
        // A folder or a read-only file in the way refuses access, and it always will.
        if (attempt == replaceAttempts || !mustRetry(error) || isFolder(wideTarget) ||
            isReadOnly(wideTarget)) {
            errno = errnoFromWindows(error);
            return -1;
        }
        Sleep(replaceDelayMilliseconds * static_cast<DWORD>(attempt));
    }
}

// MOVEFILE_WRITE_THROUGH has made the rename durable already.
int syncFolder(const char*) { return 0; }

std::FILE* createTempBeside(const char* target, std::string* tempPath) {
    std::wstring wideTarget;
    if (!widen(target, &wideTarget)) {
        errno = EINVAL;
        return nullptr;
    }
    for (int attempt = 1; attempt <= tempNameAttempts; ++attempt) {
        const std::string suffix = randomSuffix(attempt);
        const std::string tail = tempNameMark + suffix;
        const std::wstring wideName = wideTarget + std::wstring(tail.begin(), tail.end());
        // CREATE_NEW never opens what is already there, a link included.
        const HANDLE file = CreateFileW(wideName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || isFolder(wideName)) {
                continue;
            }
            errno = errnoFromWindows(error);
            return nullptr;
        }
        const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
        if (descriptor < 0) {
            CloseHandle(file);
            DeleteFileW(wideName.c_str());
            errno = EIO;
            return nullptr;
        }
        std::FILE* stream = _fdopen(descriptor, "wb");
        if (stream == nullptr) {
            const int failure = errno;
            _close(descriptor);
            DeleteFileW(wideName.c_str());
            errno = failure;
            return nullptr;
        }
        *tempPath = std::string(target) + tempNameMark + suffix;
        return stream;
    }
    errno = EEXIST;
    return nullptr;
}

namespace {
HANDLE lockedMutex = nullptr;  // the last lock taken, open until the end
std::uint64_t lockedFolder = 0;  // the hash of its folder's path
HANDLE keyMutex = nullptr;     // the key's mark beside it

// The folder's mutex, or with `key` the key's mark beside it, named after
// the folder. Null when the folder's path cannot be had.
HANDLE folderMutex(bool key) {
    std::uint64_t hash = 0;
    if (!folderHash(&hash)) {
        return nullptr;
    }
    wchar_t name[64];
    swprintf(name, sizeof name / sizeof name[0], key ? L"Local\\mock-midterm-key-%016llx" : L"Local\\mock-midterm-%016llx",
             static_cast<unsigned long long>(hash));
    return CreateMutexW(nullptr, FALSE, name);
}

// Owning it, not merely opening it, is what counts: a copy that was killed
// leaves it abandoned, and the next one takes it.
bool own(HANDLE mutex) {
    const DWORD waited = WaitForSingleObject(mutex, 0);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}
}  // namespace

int lockExamFolder(bool byKey) {
    // A named mutex, so that no lock file appears beside the exam; Windows
    // lets go of it when the program ends, however it ends. "Local\" is the
    // student's own session. A folder shared over the network is not
    // guarded against a copy on another computer.
    const HANDLE mutex = folderMutex(false);
    if (mutex == nullptr) {
        return -1;
    }
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return waited == WAIT_TIMEOUT ? 1 : -1;
    }
    // A mutex is owned again by its owner, each time to be released once: the
    // folder held already keeps its one hold, so one unlock lets go of it, as
    // on POSIX.
    std::uint64_t folder = 0;
    if (lockedMutex != nullptr && folderHash(&folder) && folder == lockedFolder) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return 0;
    }
    lockedMutex = mutex;  // the handle stays open for the life of the program
    lockedFolder = folderHash(&folder) ? folder : 0;
    if (byKey && keyMutex == nullptr && (keyMutex = folderMutex(true)) != nullptr && !own(keyMutex)) {
        CloseHandle(keyMutex);
        keyMutex = nullptr;
    }
    return 0;
}

bool examFolderLockedByKey() {
    const HANDLE mutex = folderMutex(true);
    if (mutex == nullptr) {
        return false;
    }
    const bool owned = own(mutex);
    if (owned) {
        ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    return !owned;
}

void unlockExamFolder() {
    for (HANDLE* mutex : {&keyMutex, &lockedMutex}) {
        if (*mutex != nullptr) {
            ReleaseMutex(*mutex);
            CloseHandle(*mutex);
            *mutex = nullptr;
        }
    }
}
