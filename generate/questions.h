// generate/, what the exam makes from the record: the questions (here), the
// exam text (mock_midterm.h) and the typeset exam (pdf.h).
//
// The random parameters of the questions. The order of the draws is part of
// each generator's definition: the same sequence gives the same exam.
#pragma once

#include <string>

#include "platform/services.h"
#include "record/exam_files.h"
#include "record/record.h"

// A slow school laptop draws the plot in seconds; a minute is generous.
constexpr int gnuplotTimeLimitSeconds = 60;

// Draws the Question 1 signal (five draws), writes its breakpoints to
// "q1plot.dat", stores them in the record and has gnuplot plot them.
// Returns 0, or -1 when "q1plot.dat" could not be written (the record is
// filled and gnuplot run all the same).
int makeQuestion1(ExamRecord* record, const ExamServices& services);

// Writes the record's Question 1 breakpoints to "q1plot.dat" and has gnuplot
// plot them into "q1.png" within its time limit. Returns 0, or -1 when
// "q1plot.dat" could not be written (gnuplot is run all the same).
// *gnuplotRun, when asked for, is how gnuplot's run went; a gnuplot not
// found is said on stderr here, as a stop at the time limit is.
int plotQuestion1(const ExamRecord& record, const ExamServices& services, RunResult* gnuplotRun = nullptr);

// The one line (without its line end) that says `pngName` was not drawn
// because the course's gnuplot is not there, where it is looked for and what
// to put there. Both programs print it on stderr.
std::string gnuplotMissingLine(const char* pngName);

// Returns a random integer from -a to a - 1 that is not 0 (a > 0).
int randomNonzero(int a, const ExamServices& services);

// Draws the Question 2 time shift; the time scale is always 2.
void makeQuestion2(ExamRecord* record, const ExamServices& services);

// Draws the time window and amplitude sign of the typeset exam (two draws).
void makeWindow(ExamRecord* record, const ExamServices& services);
