// Who is taking the exam: the ID number and group prompts, and the seeding of
// the random source that every question drawn afterwards depends on.
#pragma once

#include "platform/services.h"
#include "record/record.h"

// Reads one line of console input as a decimal number: leading blanks and
// blank lines are skipped, then an optional sign and digits; the rest of the
// line is discarded whatever it holds, so bad input is never read twice.
// Returns 0 with the value, -1 when the line holds no signed 32-bit number,
// -2 at end of input.
int readNumberLine(const ExamServices& services, long* value);

// Returns the ID read (1 or more), or -1 after ten invalid entries or at end
// of input.
long readIdNumber(const ExamServices& services);

// Returns the group read: 1, 3 or 4, or -1 at end of input.
int readGroup(const ExamServices& services);

// The action of the Identify state. Sets `next` to MakeQuestion1 or Exiting,
// or leaves it unchanged to ask again. Returns 0, or -1 when the exam must end
// at once (the student could not be identified).
int identifyStudent(ExamRecord* record, ExamState* next, const ExamServices& services);
