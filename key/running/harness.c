/* The test program of mock-midterm-key. Built with signals.c in a grading's
   scratch folder and run there once a function as "harness.exe f results.txt"
   (f one of x, y, z, r), it writes "i" and then " value" for each grading
   time i, so the file tells how far a run got that ended early, and "end"
   after the last; " ~" after a value says its two runs differed. The key
   writes the grading times in place of the include of grading_times.h. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <direct.h>
#define chdir _chdir
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

double x(double t);
double y(double t);
double z(double t);
double r(double t);

/* Each time as a C hexadecimal number, which carries a double exactly. */
static const double gradingTimes[] = {
#include "grading_times.h"
};

/* What is written must outlive a crash or a kill in the next call: on
   POSIX it goes into a shared mapping of the results file, which
   keeps it without a system call a point; else through stdio, flushed. */
static FILE *out;
static char *mapped;
static size_t mappedSize, used;
static int opened, finished;

static void put(const char *text, size_t length)
{
    if (mapped != 0) {
        if (used + length <= mappedSize) {
            memcpy(mapped + used, text, length);
            used += length;
        }
    } else {
        fwrite(text, 1, length, out);
        fflush(out);
    }
}

static int openResults(const char *name, int count)
{
#ifndef _WIN32
    int fd = open(name, O_RDWR | O_CREAT | O_TRUNC, 0600);

    if (fd < 0)
        return -1;
    mappedSize = (size_t)count * 48 + 64; /* a line is at most 36 bytes */
    if (ftruncate(fd, (off_t)mappedSize) == 0) {
        void *at = mmap(0, mappedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (at != MAP_FAILED) {
            mapped = (char *)at;
            close(fd);
            opened = 1;
            return 0;
        }
    }
    close(fd);
#endif
    (void)count;
    out = fopen(name, "w");
    opened = out != 0;
    return opened ? 0 : -1;
}

/* The mapping is cut to what was written. */
static int closeResults(const char *name)
{
#ifndef _WIN32
    if (mapped != 0)
        return munmap(mapped, mappedSize) == 0 && truncate(name, (off_t)used) == 0 ? 0 : -1;
#endif
    (void)name;
    return fclose(out) == 0 ? 0 : -1;
}

/* A function that calls exit() has not crashed, whatever the status. */
static void onExit(void)
{
    if (opened && !finished)
        put(" exit\n", 6);
}

#ifndef _WIN32
/* A fault just below the top of the stack is the stack running out; the
   default action then ends the program as the fault would. */
static char *stackTop;
static void onFault(int sig, siginfo_t *info, void *context)
{
    char *at = (char *)info->si_addr;
    (void)sig;
    (void)context;
    if (opened && at < stackTop && stackTop - at < (1L << 30)) {
        if (mapped != 0)
            put(" stack\n", 7);
        else
            write(fileno(out), " stack\n", 7);
    }
}

static void watchTheStack(void)
{
    static char alternate[1 << 16];
    stack_t spare;
    struct sigaction action;
    char top;

    stackTop = &top;
    spare.ss_sp = alternate;
    spare.ss_size = sizeof alternate;
    spare.ss_flags = 0;
    sigaltstack(&spare, 0);
    memset(&action, 0, sizeof action);
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigaction(SIGSEGV, &action, 0);
}
#else
static void watchTheStack(void) {}
#endif

/* The student's functions run in the scratch folder, beside this
   program: what they write or remove is never the exam's. */
static int enterOwnFolder(const char *program)
{
    char folder[512];
    size_t length = strlen(program);

    while (length > 0 && program[length - 1] != '/' && program[length - 1] != '\\')
        --length;
    if (length == 0)
        return 0;
    if (length >= sizeof folder)
        return -1;
    memcpy(folder, program, length);
    folder[length] = 0;
    return chdir(folder);
}

/* A value read from memory the function never set is whatever was
   there: each point runs twice, over stack and fresh heap filled with
   other bytes, and " ~" after the value says the two runs differed. */
static void fillFreshMemory(int pattern)
{
    volatile char area[32768];
    char *block = (char *)malloc(4096);

    memset((char *)area, pattern, sizeof area);
    if (block != 0) {
        memset(block, pattern, 4096);
        free(block);
    }
}

static double runTwice(double (*f)(double), double t, int *same)
{
    double first, second;

    fillFreshMemory(0x41);
    first = f(t);
    fillFreshMemory(0xC1);
    second = f(t);
    *same = memcmp(&first, &second, sizeof first) == 0;
    return first;
}

int main(int argc, char **argv)
{
    double (*f)(double);
    int i;
    const int count = (int)(sizeof gradingTimes / sizeof gradingTimes[0]);

    if (argc != 3 || argv[1][0] == 0 || argv[1][1] != 0)
        return 2;
    switch (argv[1][0]) {
    case 'x': f = x; break;
    case 'y': f = y; break;
    case 'z': f = z; break;
    case 'r': f = r; break;
    default: return 2;
    }
    if (enterOwnFolder(argv[0]) != 0)
        return 2;
    if (openResults(argv[2], count) != 0)
        return 2;
    atexit(onExit);
    watchTheStack();
    for (i = 0; i < count; ++i) {
        char line[48];
        int same;
        double value;
        put(line, (size_t)sprintf(line, "%d", i));
        value = runTwice(f, gradingTimes[i], &same);
        put(line, (size_t)sprintf(line, same ? " %.17g\n" : " %.17g ~\n", value));
    }
    put("end\n", 4);
    finished = 1;
    return closeResults(argv[2]) == 0 ? 0 : 2;
}
