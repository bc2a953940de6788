// The text files both programs write: the exam's text, plot data and LaTeX
// definitions, and the answer key's plot and grading program.
#pragma once

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/services.h"

// Opens a text file for writing, emptying an earlier copy. On failure says on
// stderr, after `writer` (null: nothing), which file could not be written and
// why, and returns null; the caller goes on without it.
std::FILE* openTextFile(const char* fileName, const char* writer = examWriter);

// Closes a file from openTextFile. Returns 0, or -1 when not all of it
// reached the disk (said as openTextFile says it).
int closeTextFile(std::FILE* file, const char* fileName, const char* writer = examWriter);

// Adds printf-style text to a file's content, for writeTextFile.
void appendText(std::string* content, const char* format, ...);

// Writes the whole file anew as exam.dat is saved (replaceFileWith): a link,
// a second name or a pipe at the name is replaced, never written through,
// and a crash leaves the old file or the new one. A file with no write
// permission is left as it is. Returns 0, or -1 said as openTextFile says it.
int writeTextFile(const char* fileName, const std::string& content, const char* writer = examWriter,
                  const FileOps& files = platformFileOps());
