// Files on Windows: flushed with FlushFileBuffers and replaced with
// MoveFileExW, names passed as wide strings.
#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {
constexpr int replaceAttempts = 10;
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
}  // namespace

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
        // A folder in the way refuses access, and it always will.
        if (attempt == replaceAttempts || !mustRetry(error) || isFolder(wideTarget)) {
            errno = errnoFromWindows(error);
            return -1;
        }
        Sleep(replaceDelayMilliseconds * static_cast<DWORD>(attempt));
    }
}

// MOVEFILE_WRITE_THROUGH has made the rename durable already.
int syncFolder(const char*) { return 0; }
