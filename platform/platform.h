// platform/, the operating system: console, commands, files, scratch folders
// (here), the services table over them (services.h), the random source
// (random.h). Each OS has one file per service (console_posix.cpp and
// console_windows.cpp, and so on for commands_, files_, scratch_; posix.h
// names what the POSIX ones share); this header includes no OS header, so
// the layers above never learn which OS they run on.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/run_result.h"

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

// For the command runner: a program the exam runs gets the terminal in the
// mode it had before the exam changed it, and once it has ended the exam's
// own mode (keys or lines) comes back. Windows needs neither: they do nothing.
void lendConsole();
void reclaimConsole();

// Suspends the program for the given number of milliseconds.
void pauseMilliseconds(int milliseconds);

// Where the course's gnuplot (gnuplotProgram) is looked for and what to put
// there, in words for a student who has none: the end of the one line that
// says a plot was not drawn.
const char* gnuplotWhereabouts();

// Runs one command line in the working folder, its output on the program's
// console, and stops the program once it has run for the given number of
// seconds (no limit when seconds <= 0), so a program that never ends cannot
// hang its caller. Its standard input is the null device, so it never waits
// for the keyboard. When it ends, or is
// stopped, whatever it started is ended with it. A program that crashes is
// ended without any dialog waiting for the student.
// Returns how it went (run_result.h): not found (on POSIX after a line
// "name: command not found" for a name without a folder), not startable,
// not isolated, or started, with its exit status or ending signal, or timed
// out. On POSIX the built-in `del` exits 0, or 1 when the folder cannot be read.
RunResult runCommandWithTimeLimit(const char* commandLine, int seconds);

// From now on Ctrl-C, SIGTERM and SIGHUP (closing the console on Windows)
// first end what runCommandWithTimeLimit is running, with all it started,
// then call `cleanup`, then end the program as the signal would. A wait (for
// a program, a pause, a key) does that itself once woken; while the program
// computes, the signal handler does it, so `cleanup` may only remove files
// and folders.
void cleanUpOnInterrupt(void (*cleanup)());

// For a caller that runs several programs at once, each from a thread of its
// own through runCommandWithTimeLimit (the class report): from now on
// Ctrl-C, SIGTERM and SIGHUP (closing the console) do not end the program
// but ask the programs it runs to end as an interrupt of their own would
// (they are the key grading a folder), and interruptRequested() returns 1.
// The caller then winds down and calls endAsInterrupted().
void deferInterrupts();
int interruptRequested();
// Ends the program as the interrupt that deferInterrupts noted would have.
[[noreturn]] void endAsInterrupted();

// The command-line word that runs this program again, from its argv[0];
// "" when there is none.
std::string ownProgramCommand(const char* argv0);

// Whether standard error is a terminal (a console), where progress is shown.
bool errorOutputIsTerminal();

// Sends standard output and error, this program's and those of the programs
// it runs from now on, to the end of the file `path` (created when there is
// none), or to the null device when `path` is null.
// Returns 0, or -1 with errno set (the output then stays where it was).
int sendOutputTo(const char* path);

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

// Reads a regular file whole, as openRegularFile opens it; with `text`, line
// ends as this platform's text files have them (CRLF on Windows) read as "\n".
// Returns 0 with its bytes in *content, notRegularFile, or -1 with errno set.
int readWholeFile(const char* path, std::string* content, bool text = false);

// Makes a stream from openRegularFile or createTempBeside read and write line
// ends as fopen's "r" and "w" do: CRLF on Windows, nothing to do on POSIX.
void useTextLineEnds(std::FILE* file);

// Pushes what was written to the file down to the disk.
// Returns 0, or -1 with errno set.
int flushToDisk(std::FILE* file);

// Removes `path` unless it is a file with no other name (not a link, not a
// second name of a file, not a pipe), so that a program that writes it in
// place cannot write through it into another file. Returns 0, or -1 with
// errno set; nothing at the name is not a failure.
int removeUnlessPlainFile(const char* path);

// Creates an empty file unless something of that name already exists; an
// existing file is never truncated or touched.
// Returns 0 when it was created, 1 when the name was taken, -1 with errno set
// when it could not be created.
int createFileIfAbsent(const char* path);

// Replaces `target` with `source` in one step, so a reader sees either the
// old file or the new one. On POSIX the replacement is durable only once
// syncFolder has run; on Windows it is at once.
// Returns 0, or -1 with errno set (the source is then left in place).
int replaceFile(const char* source, const char* target);

// Makes a rename into the folder that holds `path` durable. Returns 0, or -1
// with errno set; Windows has nothing to do and returns 0.
int syncFolder(const char* path);

// Creates a new, empty file beside `target` for a save to be renamed over
// it: named `target` + tempNameMark + six letters or digits chosen at
// random (as mkstemp names one), created exclusively, so nothing already at a name (a
// file, a link, a named pipe) is ever opened; names taken are passed over.
// It gets the permissions of `target` as it is, or the usual ones for a new
// file when there is none. Names it in *tempPath.
// Returns the stream (binary, write only), or null with errno set (EPERM
// when `target` is a device, which is never replaced).
std::FILE* createTempBeside(const char* target, std::string* tempPath);

// What stands between the target's name and the six characters of a temp's:
// distinct enough that no file of the student's ("exam.dat.backup") is ever
// taken for a stale temp.
constexpr const char* tempNameMark = ".tmp-";

// Removes the temp files of createTempBeside's naming left beside `target`
// by a save that was killed: regular files only, anything else at such a
// name is left alone. Only the one copy that holds the folder's lock may run
// it, or it could take another copy's temp away in mid-save.
// Returns the number removed, or -1 when the folder could not be listed.
int removeStaleTemps(const char* target);

// Takes the exam folder's lock (the working folder), held until the program
// ends and dropped by the system even when the program is killed, so one
// copy at a time saves there. No file is made for it. Asked again for the
// same folder, the program that holds it gets 0. `byKey`: the answer key
// takes it, and examFolderLockedByKey says so to a copy refused meanwhile.
// Returns 0 when taken, 1 when another running copy holds it, -1 when this
// folder has no such lock (a file system without locks, say): go on then.
int lockExamFolder(bool byKey = false);

// Whether the answer key holds the exam folder's lock now.
bool examFolderLockedByKey();

// Lets go of the lock lockExamFolder took last, for a program that goes on
// without writing in the folder. Harmless when it holds none.
void unlockExamFolder();

// The file operations of a save, in one table (as SQLite's system calls
// are) so that a test can make any one fail and see their order. Tests copy
// platformFileOps() and replace entries, so entries can be added (a folder
// lock, say) without touching them. Each returns 0, or -1 with errno set.
struct FileOps {
    std::FILE* (*createTemp)(const char* target, std::string* tempPath);  // createTempBeside
    int (*write)(std::FILE* file, const void* bytes, std::size_t size);  // all or -1
    int (*sync)(std::FILE* file);   // flushToDisk
    int (*close)(std::FILE* file);  // the stream is gone even on failure
    int (*rename)(const char* source, const char* target);  // replaceFile
    int (*remove)(const char* path);
    int (*syncFolder)(const char* path);
};
// The table backed by this platform's files.
const FileOps& platformFileOps();

// Replaces the file at `path` with `size` bytes so that a crash at any instant
// leaves the old file or the new one, whole: written into a temp beside it
// (files.createTemp), synced, closed, renamed over it, its folder synced.
// With `text`, in this platform's line ends (useTextLineEnds).
// Returns 0, or -1 with errno set; the old file then stays and no temp is left.
int replaceFileWith(const char* path, const void* bytes, std::size_t size, const FileOps& files,
                    bool text = false);
