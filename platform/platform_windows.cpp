// The platform layer on Windows: keys through conio, commands through the
// system's command interpreter, and files replaced with MoveFileExW.
//
// Input: a console gives keys to _getch and lines to ReadFile, both drawing on
// the console's one input queue. Anything else (a pipe, a file, NUL) gives
// bytes only, and keys are then read from those bytes, as on POSIX: _getch
// there has no console to read and would report the end at once. Either way
// line bytes go through one buffer of our own, and a key read takes what is
// left in it first, so keys and lines never steal from each other.
#include <windows.h>

#include <conio.h>
#include <io.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {
unsigned char inputBuffer[4096];
DWORD inputStart = 0;
DWORD inputEnd = 0;
bool inputEnded = false;

constexpr int notFoundStatus = 127;
// cmd.exe's status for "is not recognized as an internal or external command".
constexpr int interpreterNotFoundStatus = 9009;
constexpr int endOfFileByte = 0x1A;  // Ctrl-Z
constexpr int interruptKey = 3;      // Ctrl-C, which _getch hands over as a key
constexpr int replaceAttempts = 10;
constexpr DWORD replaceDelayMilliseconds = 25;

// Looked up on every use: the handle can change under us (tests redirect it).
HANDLE standardInput() { return GetStdHandle(STD_INPUT_HANDLE); }

// GetConsoleMode, not _isatty: _isatty also says yes for NUL and serial ports.
bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

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

// Returns true when a byte is buffered, false at end of input.
bool fillInput() {
    if (inputStart < inputEnd) {
        return true;
    }
    while (!inputEnded) {
        const HANDLE input = standardInput();
        DWORD count = 0;
        // A closed pipe fails with ERROR_BROKEN_PIPE; a file's end reads 0 bytes.
        if (input == nullptr || input == INVALID_HANDLE_VALUE ||
            ReadFile(input, inputBuffer, sizeof inputBuffer, &count, nullptr) == 0 || count == 0) {
            inputEnded = true;
            break;
        }
        // Ctrl-Z at the start of a console line is how the console says the
        // input is over, as Ctrl-D is on a POSIX terminal.
        if (inputBuffer[0] == endOfFileByte && isConsole(input)) {
            inputEnded = true;
            break;
        }
        inputStart = 0;
        inputEnd = count;
        return true;
    }
    return false;
}

int readConsoleKey() {
    const int key = _getch();
    // With no console left to read, _getch gives EOF, or EOF cut to a byte:
    // that is the end, never a key to act on again and again.
    if (key == EOF || (key == 0xFF && !isConsole(standardInput()))) {
        inputEnded = true;
        return -1;
    }
    if (key == 0 || key == 0xE0) {
        // A function or arrow key arrives as a prefix and a code: one press
        // is one key, so the code goes with its prefix.
        _getch();
    }
    if (key == interruptKey) {
        // _getch reads Ctrl-C as a byte; it must still end the program.
        std::raise(SIGINT);
    }
    return key;
}

// Whether _getch would find a character or a function or arrow key.
bool isKeyPress(const INPUT_RECORD& event) {
    if (event.EventType != KEY_EVENT || event.Event.KeyEvent.bKeyDown == 0) {
        return false;
    }
    const WORD key = event.Event.KeyEvent.wVirtualKeyCode;
    return event.Event.KeyEvent.uChar.AsciiChar != 0 || (key >= VK_PRIOR && key <= VK_DOWN) ||
           key == VK_INSERT || key == VK_DELETE || (key >= VK_F1 && key <= VK_F12);
}

// _kbhit as it should be: wine's counts the console's events without looking
// at them and finds none until someone does. What comes before the first key
// press (key releases, Shift alone, the mouse, focus) is of no use to _getch,
// which would skip it anyway, so it is taken out, and the queue cannot grow.
bool consoleKeyWaiting(HANDLE input) {
    if (_kbhit() != 0) {
        return true;
    }
    INPUT_RECORD events[64];
    DWORD count = 0;
    if (PeekConsoleInputA(input, events, 64, &count) == 0) {
        return false;
    }
    DWORD useless = 0;
    while (useless < count && !isKeyPress(events[useless])) {
        ++useless;
    }
    if (useless > 0) {
        DWORD removed = 0;
        ReadConsoleInputA(input, events, useless, &removed);
    }
    return useless < count;
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

void startConsole() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

int readLineByte() {
    std::fflush(stdout);
    return fillInput() ? inputBuffer[inputStart++] : -1;
}

int readKey() {
    std::fflush(stdout);
    if (inputStart < inputEnd || inputEnded || !isConsole(standardInput())) {
        return readLineByte();
    }
    return readConsoleKey();
}

int keyWaiting() {
    if (inputStart < inputEnd) {
        return 1;
    }
    if (inputEnded) {
        return -1;
    }
    const HANDLE input = standardInput();
    if (isConsole(input)) {
        return consoleKeyWaiting(input) ? 1 : 0;
    }
    if (GetFileType(input) == FILE_TYPE_PIPE) {
        DWORD available = 0;
        if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) == 0) {
            inputEnded = true;  // the writer has gone and left nothing
            return -1;
        }
        if (available == 0) {
            return 0;
        }
    }
    // Buffered pipe bytes, a file or a device: a read does not wait long.
    return fillInput() ? 1 : -1;
}

void pauseMilliseconds(int milliseconds) { Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0); }

int runCommand(const char* commandLine) {
    std::fflush(nullptr);  // our output first, then the program's
    const int status = std::system(commandLine);
    // -1: not even the command interpreter could be started.
    if (status == -1 || status == interpreterNotFoundStatus) {
        return notFoundStatus;
    }
    return status;
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
