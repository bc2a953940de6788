// What the layers above ask of the outside world, gathered in one table so
// that tests can run the exam and the key with a scripted console, scripted
// commands and a scripted random source. The programs use platformServices().
#pragma once

#include <cstdint>

#include "platform/run_result.h"

// The course's gnuplot, beside the exam folder; both programs plot with it.
constexpr const char* gnuplotProgram = "..\\gnuplot\\bin\\gnuplot.exe";

// How the exam's failure messages start: a fresh line (one may follow a
// prompt) and its name. The key passes its own name.
constexpr const char* examWriter = "\nmock-midterm";

struct ExamServices {
    int (*readKey)();       // a key byte 0..255, or -1 at end of input
    int (*keyWaiting)();    // 1 waiting, 0 none, -1 end of input
    int (*readLineByte)();  // next byte of line input, or -1 at end of input
    void (*pause)(int milliseconds);
    void (*seedRandom)(std::uint32_t seed);
    int (*drawRandom)();    // 0 or more
    // How the run went (run_result.h), timed out once it has run `seconds`
    // (as platform.h says).
    RunResult (*runCommandWithTimeLimit)(const char* commandLine, int seconds);
    // The student's code, inside the fence (fence.h): as runCommandWithTimeLimit,
    // in `folder`, the one place it may write.
    RunResult (*runFenced)(const char* commandLine, const char* folder, int seconds);
};

// The table backed by the platform layer and the exam's own random source.
const ExamServices& platformServices();

// Runs one of the course's tools (the compiler, gnuplot, pdflatex) through
// services.runCommandWithTimeLimit; when it had to be stopped, says so in
// one line on stderr after `writer`, naming the tool and the limit.
// Returns what runCommandWithTimeLimit returned.
RunResult runTool(const ExamServices& services, const char* commandLine, const char* tool, int seconds,
            const char* writer = examWriter);
