#include "platform/input_buffer.h"

#include <cstdio>

namespace {
unsigned char inputBuffer[4096];
long inputStart = 0;
long inputEnd = 0;
bool inputOver = false;
}  // namespace

long bufferedInput() { return inputEnd - inputStart; }

bool inputEnded() { return inputOver; }

void endInput() { inputOver = true; }

bool fillInput() {
    if (inputStart < inputEnd) {
        return true;
    }
    while (!inputOver) {
        const long count = readInput(inputBuffer, sizeof inputBuffer);
        if (count > 0) {
            inputStart = 0;
            inputEnd = count;
            return true;
        }
        if (count == 0) {
            inputOver = true;
        }
    }
    return false;
}

int nextInputByte() {
    std::fflush(stdout);
    return fillInput() ? inputBuffer[inputStart++] : -1;
}
