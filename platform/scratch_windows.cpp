// Scratch folders and reading files that may not be files at all (Windows).
#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/random.h"

int makeScratchFolder(const char* prefix, char* name, std::size_t size) {
    const std::size_t prefixLength = std::strlen(prefix);
    if (prefixLength + 7 > size) {
        errno = ENAMETOOLONG;
        return -1;
    }
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // CreateDirectory fails on a name that exists, so the folder is ours
    // alone; the names only need to differ between tries and copies.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::memcpy(name, prefix, prefixLength);
        char* end = name + prefixLength;
        std::uint64_t bits = splitMix64(GetTickCount64() ^ (std::uint64_t{GetCurrentProcessId()} << 20) ^
                                        static_cast<std::uint64_t>(attempt));
        for (int i = 0; i < 6; ++i) {
            end[i] = letters[bits % (sizeof letters - 1)];
            bits /= sizeof letters - 1;
        }
        end[6] = '\0';
        if (CreateDirectoryA(name, nullptr)) {
            return 0;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

int removeEmptyFolder(const char* path) {
    if (RemoveDirectoryA(path)) {
        return 0;
    }
    errno = EACCES;
    return -1;
}

int openRegularFile(const char* path, std::FILE** file) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return notRegularFile;
    }
    std::FILE* opened = std::fopen(path, "rb");
    if (opened == nullptr) {
        return -1;
    }
    // A device name (CON, NUL, a pipe) opens too, but is no file.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(opened)));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(opened);
        return notRegularFile;
    }
    *file = opened;
    return 0;
}
