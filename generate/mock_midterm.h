// The exam text, "MOCK_MIDTERM.txt", that the student is told to open.
#pragma once

#include "record/exam_files.h"
#include "record/record.h"

// Writes the whole text anew. Returns 0, or -1 when it could not be written.
int writeMockMidterm(ExamRecord record);
