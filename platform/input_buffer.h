// The console's input read ahead into one buffer, shared by key and line
// reads so neither steals from the other; each console_ file supplies
// readInput.
#pragma once

// Reads up to `size` bytes of standard input into `buffer`. Returns how many
// (1 or more), 0 at the end of input, -1 when a signal interrupted the read
// before any byte came (it is read again).
long readInput(unsigned char* buffer, long size);

long bufferedInput();  // how many bytes are waiting in the buffer
bool inputEnded();     // the end of input was seen, by readInput or endInput
void endInput();

// Returns true when a byte is buffered, reading more if none is, false at
// the end of input.
bool fillInput();

// Flushes the console's output (a prompt comes before the wait), then takes
// the next byte, or returns -1 at the end of input.
int nextInputByte();
