// The text files both programs write: the exam's text, plot data and LaTeX
// definitions, and the answer key's plot and grading program.
#pragma once

#include <cstdio>
#include <string>

// How the exam's failure messages start: a fresh line (one may follow a
// prompt) and its name. The key passes its own name.
constexpr const char* examWriter = "\nmock-midterm";

// Opens a text file for writing, emptying an earlier copy. On failure says on
// stderr, after `writer` (null: nothing), which file could not be written and
// why, and returns null; the caller goes on without it.
std::FILE* openTextFile(const char* fileName, const char* writer = examWriter);

// Closes a file from openTextFile. Returns 0, or -1 when not all of it
// reached the disk (said as openTextFile says it).
int closeTextFile(std::FILE* file, const char* fileName, const char* writer = examWriter);

// Writes the whole file anew. Returns 0, or -1 as closeTextFile does.
int writeTextFile(const char* fileName, const std::string& content, const char* writer);
