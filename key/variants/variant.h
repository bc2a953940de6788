// `mock-midterm-key variant`: the exam in a folder replaced by one of the
// 200 variants (key/model/exam_variants.h), the attempt made so far kept.
#pragma once

#include "platform/platform.h"
#include "platform/services.h"

// What `variant` accepts besides a number.
constexpr int randomVariant = -1;  // "random": one not yet taken in this folder
constexpr int ownVariant = -2;     // "id": the student's own

// Reads "1".."200", "random" or "id". Returns 0 with the number or one of
// the two choices above, -1 for anything else.
int parseVariant(const char* text, int* variant);

// `mock-midterm-key variant`: keeps the folder's attempt in attempts/<n>/,
// puts the variant's questions into "exam.dat" at the WriteText step, and
// writes "q1plot.dat" and "q1.png" for them. Returns 0, or 1 when nothing
// was changed (said on stderr): no exam with an ID and questions, every
// variant taken, or the attempt could not be kept whole. Its files are
// written through `files` (the copies, the README and exam.dat).
int startVariant(int variant, const ExamServices& services, const FileOps& files);

// Where "q1plot.dat" disagrees with the exam in "exam.dat" (a variant that
// was stopped before it wrote it), says so and writes it and "q1.png" again.
// Returns 1 when it did, 0 when there was nothing to do.
int repairPlotData(const ExamServices& services);
