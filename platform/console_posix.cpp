// Console keys and line input on POSIX terminals, pipes and files.
//
// All input goes through one buffer of our own, so that a key read, a key
// test and a number line never steal bytes from each other. On a terminal a
// key read switches to raw mode for that one read only; whatever runs
// between reads (the compiler, gnuplot) gets the terminal as it was.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/input_buffer.h"
#include "platform/platform.h"

namespace {
termios originalTerminal;
volatile std::sig_atomic_t rawModeActive = 0;
bool restoreHandlersInstalled = false;
struct sigaction previousActions[3];
constexpr int restoreSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void leaveRawMode() {
    // tcsetattr is async-signal-safe, so this also serves the signal handler.
    if (rawModeActive != 0 && tcsetattr(STDIN_FILENO, TCSANOW, &originalTerminal) != -1) {
        rawModeActive = 0;
    }
}

void restoreTerminalOnSignal(int signalNumber) {
    leaveRawMode();
    // Die by the signal, as the shell expects, with its default action.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void installRestoreHandlers() {
    if (restoreHandlersInstalled) {
        return;
    }
    restoreHandlersInstalled = true;
    std::atexit(leaveRawMode);
    for (int i = 0; i < 3; ++i) {
        struct sigaction action {};
        action.sa_handler = restoreTerminalOnSignal;
        sigemptyset(&action.sa_mask);
        sigaction(restoreSignals[i], nullptr, &previousActions[i]);
        if (previousActions[i].sa_handler != SIG_IGN) {  // keep nohup's wish
            sigaction(restoreSignals[i], &action, nullptr);
        }
    }
}

// Keys arrive one at a time, unechoed, Enter as 13; Ctrl-C still interrupts.
bool enterRawMode() {
    if (tcgetattr(STDIN_FILENO, &originalTerminal) == -1) {
        return false;
    }
    installRestoreHandlers();
    termios raw = originalTerminal;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // TCSANOW, not TCSAFLUSH: keys typed ahead must not be thrown away.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == -1) {
        return false;
    }
    rawModeActive = 1;
    return true;
}
}  // namespace

long readInput(unsigned char* buffer, long size) {
    const ssize_t count = read(STDIN_FILENO, buffer, static_cast<std::size_t>(size));
    if (count < 0) {
        return errno == EINTR ? -1 : 0;
    }
    return count;
}

void startConsole() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

int readKey() {
    std::fflush(stdout);
    const bool terminal = isatty(STDIN_FILENO) != 0;
    const bool raw = terminal && !inputBuffered() && enterRawMode();
    int key = readLineByte();
    if (raw) {
        leaveRawMode();
    }
    // A key typed while the terminal was in line mode (between two polls)
    // has had its Enter turned into a line feed; it is Enter all the same.
    if (terminal && key == '\n') {
        key = 13;
    }
    return key;
}

int keyWaiting() {
    if (inputBuffered()) {
        return 1;
    }
    if (inputEnded()) {
        return -1;
    }
    // On a terminal a key is only visible before Enter in raw mode.
    const bool raw = isatty(STDIN_FILENO) != 0 && enterRawMode();
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int result = 0;
    if (poll(&input, 1, 0) > 0) {
        result = fillInput() ? 1 : -1;  // readable with nothing to read is the end
    }
    if (raw) {
        leaveRawMode();
    }
    return result;
}

void pauseMilliseconds(int milliseconds) {
    timespec remaining{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
}
