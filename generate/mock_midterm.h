// The exam text, "MOCK_MIDTERM.txt", that the student is told to open.
#pragma once

#include "record/record.h"

constexpr const char* mockMidtermFileName = "MOCK_MIDTERM.txt";

// Writes the whole text anew. Returns 0, or -1 when it could not be written.
int writeMockMidterm(ExamRecord record);
