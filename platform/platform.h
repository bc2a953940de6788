// The services the exam needs from the operating system. Each OS has one
// implementation file (platform_posix.cpp, platform_windows.cpp); this header
// includes no OS header so the rest of the program never learns which it is.
#pragma once

#include <cstddef>
#include <cstdio>

// Makes console output appear at once, line end or not: several prompts end
// without one and are followed straight away by a wait for the student.
void startConsole();

// Waits for one key press and returns its byte (0 to 255), without echo and
// without waiting for Enter; Enter reads as 13 everywhere. Returns -1 at end
// of input, so a closed console never looks like a key.
int readKey();

// Returns 1 when a key press is waiting, 0 when none is, -1 at end of input.
// Never waits and never consumes the key.
int keyWaiting();

// Reads the next byte of line input (the number prompts), or -1 at end of
// input. Line input and readKey draw from the same stream of input.
int readLineByte();

// Suspends the program for the given number of milliseconds.
void pauseMilliseconds(int milliseconds);

// Runs one command line in the working folder with the program's console and
// returns its exit status: 0 for success, 127 when the program is not found.
int runCommand(const char* commandLine);

// What runCommandWithTimeLimit returns for a program it had to stop.
constexpr int commandTimedOut = -2;

// What runCommandWithTimeLimit returns when the program is there but the
// system refuses to start it, as on a drive mounted noexec.
constexpr int commandNotRunnable = -3;

// Runs one command line as runCommand does, but stops the program once it
// has run for the given number of seconds (no limit when seconds <= 0), so a
// program that never ends cannot hang its caller. Its standard input is the
// null device, so it never waits for the keyboard. When it ends, or is
// stopped, whatever it started is ended with it. A program that crashes is
// ended without any dialog waiting for the student.
// Returns the exit status as runCommand does, commandTimedOut, or
// commandNotRunnable.
int runCommandWithTimeLimit(const char* commandLine, int seconds);

// From now on Ctrl-C, SIGTERM and SIGHUP (closing the console on Windows)
// first end what runCommandWithTimeLimit is running, with all it started,
// then call `cleanup`, then end the program as the signal would. `cleanup`
// runs inside the signal handler: it may only remove files and folders.
void cleanUpOnInterrupt(void (*cleanup)());

// Makes a new, empty folder in the working folder, named `prefix` and six
// random letters or digits, which nobody else can write into: nothing in it
// can be a link or a pipe placed there beforehand.
// Returns 0 with the name in `name` (of `size` bytes), or -1 with errno set
// (ENAMETOOLONG when the name does not fit).
int makeScratchFolder(const char* prefix, char* name, std::size_t size);

// Removes an empty folder. Safe inside a signal handler.
// Returns 0, or -1 with errno set.
int removeEmptyFolder(const char* path);

// What openRegularFile returns for a name that is a pipe, device or folder.
constexpr int notRegularFile = -2;

// Opens a file for reading ("rb") without ever waiting on it: a pipe, a
// device or a folder at the name is refused before anything is read.
// Returns 0 with the stream in *file, notRegularFile, or -1 with errno set.
int openRegularFile(const char* path, std::FILE** file);

// Pushes what was written to the file down to the disk.
// Returns 0, or -1 with errno set.
int flushToDisk(std::FILE* file);

// Creates an empty file unless something of that name already exists; an
// existing file is never truncated or touched.
// Returns 0 when it was created, 1 when the name was taken, -1 with errno set
// when it could not be created.
int createFileIfAbsent(const char* path);

// Replaces `target` with `source` in one step, so a reader sees either the
// old file or the new one, and makes the replacement durable.
// Returns 0, or -1 with errno set (the source is then left in place).
int replaceFile(const char* source, const char* target);
