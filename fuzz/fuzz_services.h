// Exam services for the fuzz targets: the console plays the fuzzer's bytes,
// pauses and commands do nothing, the random source is the exam's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/services.h"

// Makes `bytes` the console input; keys and lines draw from it alike.
// Every turn of the exam either reads input or moves on, and from any state
// a reading state comes within a few turns; so more than 2 * size + 16 turns
// is a loop without end, and stops the run there.
void playInput(const std::uint8_t* bytes, std::size_t size);

// How many input bytes have been read so far.
std::size_t inputRead();

const ExamServices& fuzzServices();

// Makes a fresh folder the working folder and sends the exam's console
// output to /dev/null. Call once, from LLVMFuzzerInitialize.
void enterScratchFolder();

// Removes what a run left in the working folder.
void clearScratchFolder();

// Writes `size` bytes as the file `name`.
void writeBytes(const char* name, const void* bytes, std::size_t size);

// Reads up to `capacity` bytes of `name`; returns how many, or -1 when absent.
long readBytes(const char* name, void* bytes, std::size_t capacity);

// Stops the run with a message when a property does not hold; libFuzzer
// records the input that did it.
void require(bool holds, const char* what);
