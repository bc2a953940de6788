#include "platform/random.h"

namespace {
// A linear congruential generator with the multiplier and increment that
// classic C libraries use, so the first draws for seed 1 are 41, 18467, 6334.
std::uint32_t randomState = 1;
}  // namespace

void seedRandom(std::uint32_t seed) { randomState = seed; }

int drawRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

std::uint64_t splitMix64(std::uint64_t value) {
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}
