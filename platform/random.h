// The exam's own pseudo-random source. It is the same on every platform and C
// library, so every build gives every student the same questions.
#pragma once

#include <cstdint>

// Restarts the sequence from `seed`. Before any seeding the sequence is the
// one that seed 1 gives.
void seedRandom(std::uint32_t seed);

// Returns the next number of the sequence, 0 to 32767.
int drawRandom();

// splitmix64's step: spreads every bit of `value` over the result, so that a
// clock reading or a counter makes a well-spread number. Not unguessable.
std::uint64_t splitMix64(std::uint64_t value);
