#pragma once

#include <cstdio>

// Opens one of the exam's text files for writing, emptying an earlier copy.
// On failure says on stderr which file could not be written and why, and
// returns null; the exam goes on without it.
std::FILE* openTextFile(const char* fileName);

// Closes a file from openTextFile. Returns 0, or -1 when not all of it
// reached the disk (also said on stderr).
int closeTextFile(std::FILE* file, const char* fileName);
