// What the layers above ask of the outside world, gathered in one table so
// that tests can run the exam and the key with a scripted console, scripted
// commands and a scripted random source. The programs use platformServices().
#pragma once

#include <cstdint>

// A command's exit status when its program was not found.
constexpr int commandNotFound = 127;

// What runCommandWithTimeLimit returns for a program it had to stop.
constexpr int commandTimedOut = -2;

// The course's gnuplot, beside the exam folder; both programs plot with it.
constexpr const char* gnuplotProgram = "..\\gnuplot\\bin\\gnuplot.exe";

struct ExamServices {
    int (*readKey)();       // a key byte 0..255, or -1 at end of input
    int (*keyWaiting)();    // 1 waiting, 0 none, -1 end of input
    int (*readLineByte)();  // next byte of line input, or -1 at end of input
    void (*pause)(int milliseconds);
    int (*runCommand)(const char* commandLine);  // exit status
    void (*seedRandom)(std::uint32_t seed);
    int (*drawRandom)();    // 0 or more
    // Exit status, commandTimedOut once it has run `seconds`,
    // commandNotRunnable, or -1 (as platform.h says).
    int (*runCommandWithTimeLimit)(const char* commandLine, int seconds);
};

// The table backed by the platform layer and the exam's own random source.
const ExamServices& platformServices();
