// Console keys and line input on Windows.
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

#include <csignal>
#include <cstdio>

#include "platform/input_buffer.h"
#include "platform/platform.h"
#include "platform/win32.h"

namespace {
constexpr int endOfFileByte = 0x1A;  // Ctrl-Z
constexpr int interruptKey = 3;      // Ctrl-C, which _getch hands over as a key

// Looked up on every use: the handle can change under us (tests redirect it).
HANDLE standardInput() { return GetStdHandle(STD_INPUT_HANDLE); }

// GetConsoleMode, not _isatty: _isatty also says yes for NUL and serial ports.
bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

int readConsoleKey() {
    const int key = _getch();
    // With no console left to read, _getch gives EOF, or EOF cut to a byte:
    // that is the end, never a key to act on again and again.
    if (key == EOF || (key == 0xFF && !isConsole(standardInput()))) {
        endInput();
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

}  // namespace

long readInput(unsigned char* buffer, long size) {
    const HANDLE input = standardInput();
    DWORD count = 0;
    // A closed pipe fails with ERROR_BROKEN_PIPE; a file's end reads 0 bytes.
    if (input == nullptr || input == INVALID_HANDLE_VALUE ||
        ReadFile(input, buffer, static_cast<DWORD>(size), &count, nullptr) == 0 || count == 0) {
        return 0;
    }
    // Ctrl-Z at the start of a console line is how the console says the
    // input is over, as Ctrl-D is on a POSIX terminal.
    if (buffer[0] == endOfFileByte && isConsole(input)) {
        return 0;
    }
    return static_cast<long>(count);
}

void startConsole() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

// A console program started by the exam shares the console as it is.
void lendConsole() {}
void reclaimConsole() {}

int readLineByte() { return nextInputByte(); }

int readKey() {
    std::fflush(stdout);
    if (bufferedInput() > 0 || inputEnded() || !isConsole(standardInput())) {
        return readLineByte();
    }
    return readConsoleKey();
}

int keyWaiting() {
    if (bufferedInput() > 0) {
        return 1;
    }
    if (inputEnded()) {
        return -1;
    }
    const HANDLE input = standardInput();
    if (isConsole(input)) {
        return consoleKeyWaiting(input) ? 1 : 0;
    }
    if (GetFileType(input) == FILE_TYPE_PIPE) {
        DWORD available = 0;
        if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) == 0) {
            endInput();  // the writer has gone and left nothing
            return -1;
        }
        if (available == 0) {
            return 0;
        }
    }
    // Buffered pipe bytes, a file or a device: a read does not wait long.
    return fillInput() ? 1 : -1;
}

// Cut short by an interrupt, which the wait then acts on.
void pauseMilliseconds(int milliseconds) {
    const DWORD time = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
    const HANDLE interrupt = interruptEvent();
    if (interrupt == nullptr) {
        Sleep(time);
        return;
    }
    enterInterruptibleWait();
    WaitForSingleObject(interrupt, time);
    leaveInterruptibleWait();
}

bool errorOutputIsTerminal() { return isConsole(GetStdHandle(STD_ERROR_HANDLE)); }

int sendOutputTo(const char* path) {
    const char* target = path != nullptr ? path : "NUL";
    std::fflush(stdout);
    std::fflush(stderr);
    if (std::freopen(target, "a", stdout) == nullptr || std::freopen(target, "a", stderr) == nullptr) {
        return -1;
    }
    // The programs it runs inherit the system's handles, not the C library's streams.
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))));
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr))));
    return 0;
}
