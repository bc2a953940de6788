// What the exam logic asks of the outside world, gathered in one table so
// that tests can run the exam with a scripted console, scripted commands and
// a scripted random source. The program itself uses platformServices().
#pragma once

#include <cstdint>

struct ExamServices {
    int (*readKey)();       // a key byte 0..255, or -1 at end of input
    int (*keyWaiting)();    // 1 waiting, 0 none, -1 end of input
    int (*readLineByte)();  // next byte of line input, or -1 at end of input
    void (*pause)(int milliseconds);
    int (*runCommand)(const char* commandLine);  // exit status
    void (*seedRandom)(std::uint32_t seed);
    int (*drawRandom)();    // 0 or more
};

// The table backed by the platform layer and the exam's own random source.
const ExamServices& platformServices();
