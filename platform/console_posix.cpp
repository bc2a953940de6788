// Console keys and line input on POSIX terminals, pipes and files.
//
// All input goes through one buffer of our own, so that a key read, a key
// test and a number line never steal bytes from each other.
//
// On a terminal the mode is a state of the console, as a Windows console
// never echoes or holds keys while the program waits for them: the first key
// read or key test puts the terminal in key (raw) mode and it stays there
// through the pauses between polls, so a key typed at any moment arrives
// once and unechoed. Line input and the programs the exam runs get the
// terminal as it was; every way out of the program puts it back so.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/input_buffer.h"
#include "platform/platform.h"
#include "platform/posix.h"

namespace {
// The terminal as it was before the program first changed it, and the key
// mode made from it. Both are set once, before any handler can use them.
bool terminalKnown = false;
termios originalTerminal;
termios keyTerminal;
// What the console wants (key mode while it waits for keys) and what the
// terminal is in; the signal handlers read both.
volatile std::sig_atomic_t keyModeWanted = 0;
volatile std::sig_atomic_t keyModeActive = 0;
bool keyModeBeforeLending = false;
// Bytes the terminal took in while in line mode, still unread: their Enter
// has already become a line feed.
ssize_t lineModeBytes = 0;

// tcsetattr is async-signal-safe, so these two also serve the handlers.
void setKeyMode() {
    if (keyModeActive == 0 && tcsetattr(STDIN_FILENO, TCSANOW, &keyTerminal) != -1) {
        keyModeActive = 1;
    }
}

void setOriginalMode() {
    if (keyModeActive != 0 && tcsetattr(STDIN_FILENO, TCSANOW, &originalTerminal) != -1) {
        keyModeActive = 0;
    }
}

// Key mode again after a stop, a SIGSTOP too (which no handler sees).
void resumeKeyMode() {
    if (keyModeWanted != 0) {
        keyModeActive = 0;  // the shell may have set a mode of its own meanwhile
        setKeyMode();
    }
}

// Learns the terminal's settings the first time the console needs them.
// Returns false when the input is not a terminal.
bool knowTerminal() {
    if (terminalKnown) {
        return true;
    }
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &originalTerminal) == -1) {
        return false;
    }
    // Keys one at a time, unechoed, Enter as 13, Ctrl-D as 4; Ctrl-C and
    // Ctrl-Z are still signals.
    keyTerminal = originalTerminal;
    keyTerminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    keyTerminal.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
    keyTerminal.c_cc[VMIN] = 1;
    keyTerminal.c_cc[VTIME] = 0;
    terminalKnown = true;
    std::atexit(setOriginalMode);
    restoreTerminalOnSignals(setOriginalMode, resumeKeyMode);
    return true;
}

// Returns false when the input is not a terminal.
bool enterKeyMode() {
    if (!knowTerminal()) {
        return false;
    }
    keyModeWanted = 1;
    if (keyModeActive == 0) {
        // TCSANOW, not TCSAFLUSH: keys typed ahead must not be thrown away.
        setKeyMode();
        int queued = 0;
        if (ioctl(STDIN_FILENO, FIONREAD, &queued) == -1) {
            queued = 0;
        }
        lineModeBytes = bufferedInput() + queued;
    }
    return true;
}

// Returns the next byte and whether it came in while in line mode.
int nextByte(bool* typedInLineMode) {
    const int byte = nextInputByte();
    *typedInLineMode = lineModeBytes > 0 || keyModeActive == 0;
    if (byte >= 0 && lineModeBytes > 0) {
        --lineModeBytes;
    }
    return byte;
}
}  // namespace

long readInput(unsigned char* buffer, long size) {
    // A wait for input that acts on an interrupt itself: poll, unlike read,
    // is never restarted after a handler, and read then does not wait. An
    // interrupt noted just before poll began is seen at its next timeout.
    enterInterruptibleWait();
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (notedInterrupt() == 0) {
        const int ready = poll(&input, 1, 250);
        if (ready > 0 || (ready < 0 && errno != EINTR)) {
            break;
        }
    }
    leaveInterruptibleWait();
    const ssize_t count = read(STDIN_FILENO, buffer, static_cast<std::size_t>(size));
    if (count < 0) {
        return errno == EINTR ? -1 : 0;
    }
    return count;
}

void startConsole() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

void lendConsole() {
    if (!knowTerminal()) {
        return;
    }
    keyModeBeforeLending = keyModeWanted != 0;
    keyModeWanted = 0;
    setOriginalMode();
}

void reclaimConsole() {
    if (!terminalKnown) {
        return;
    }
    // The program may have left the terminal in a mode of its own (one that
    // was stopped at the time limit cannot put it back), so whichever mode
    // comes back is set again.
    if (keyModeBeforeLending) {
        keyModeActive = 0;
        enterKeyMode();
    } else {
        keyModeActive = 1;
        setOriginalMode();
    }
}

int readLineByte() {
    // The student sees and can edit what they type, and Enter ends the line.
    if (keyModeWanted != 0) {
        keyModeWanted = 0;
        setOriginalMode();
    }
    bool typedInLineMode = false;
    return nextByte(&typedInLineMode);
}

int readKey() {
    const bool terminal = enterKeyMode();
    bool typedInLineMode = false;
    const int key = nextByte(&typedInLineMode);
    // An Enter typed while the terminal was in line mode (before the first
    // key wait, or while a program ran) is already a line feed.
    return terminal && typedInLineMode && key == '\n' ? 13 : key;
}

int keyWaiting() {
    if (bufferedInput() > 0) {
        return 1;
    }
    if (inputEnded()) {
        return -1;
    }
    // On a terminal a key is only visible before Enter in key mode.
    enterKeyMode();
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) > 0) {
        return fillInput() ? 1 : -1;  // readable with nothing to read is the end
    }
    return 0;
}

void pauseMilliseconds(int milliseconds) {
    // Cut short by an interrupt, which the wait then acts on.
    enterInterruptibleWait();
    timespec remaining{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR && notedInterrupt() == 0) {
    }
    leaveInterruptibleWait();
}

bool errorOutputIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int sendOutputTo(const char* path) {
    const int descriptor = open(path != nullptr ? path : "/dev/null",
                                O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return -1;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const int result =
        dup2(descriptor, STDOUT_FILENO) < 0 || dup2(descriptor, STDERR_FILENO) < 0 ? -1 : 0;
    close(descriptor);
    return result;
}
