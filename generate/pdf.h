// The typeset exam: "defs.tex" carries the student's values into the
// course's "create.tex", and pdflatex makes a PDF named after the ID.
#pragma once

#include "platform/services.h"
#include "record/exam_files.h"
#include "record/record.h"

// Each pdflatex run may take ten minutes: a first MiKTeX run fetches the
// packages it lacks, over a school's network. The clean-up is quick.
constexpr int pdflatexTimeLimitSeconds = 600;
constexpr int deleteTimeLimitSeconds = 30;

// Writes the seven macro definitions anew. Returns 0, or -1 when the file
// could not be written.
int writeDefs(ExamRecord record);

// Writes "defs.tex", runs pdflatex twice (the second run settles references)
// and removes the build's by-products, each within its time limit. Command
// results are not looked at: pdflatex's own output is the student's report.
void buildExamPdf(ExamRecord record, char (&commandBuffer)[80], const ExamServices& services);
