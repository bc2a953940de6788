#include "generate/pdf.h"

#include <cstdio>

#include "generate/text_file.h"

int writeDefs(ExamRecord record) {
    std::FILE* f = openTextFile(defsFileName);
    if (f == nullptr) {
        return -1;
    }
    std::fprintf(f, "\\newcommand\\idNum{%ld}\n", static_cast<long>(record.idNum));
    std::fprintf(f, "\\newcommand\\grpNum{%d}\n", record.grpNum);
    std::fprintf(f, "\\newcommand\\varQT{%d}\n", record.varQT);
    std::fprintf(f, "\\newcommand\\varQK{%d}\n", record.varQK);
    std::fprintf(f, "\\newcommand\\varTstart{%g}\n", record.varTstart);
    std::fprintf(f, "\\newcommand\\varTend{%g}\n", record.varTend);
    std::fprintf(f, record.varAmp == 1 ? "\\newcommand\\varAmp{ }\n" : "\\newcommand\\varAmp{-}\n");
    return closeTextFile(f, defsFileName);
}

void buildExamPdf(ExamRecord record, char (&commandBuffer)[80], const ExamServices& services) {
    writeDefs(record);
    std::printf("Creating %d.pdf\n", record.idNum);
    std::snprintf(commandBuffer, sizeof commandBuffer,
                  "pdflatex create.tex -jobname=%ld -quiet -silent", static_cast<long>(record.idNum));
    services.runCommand(commandBuffer);
    services.runCommand(commandBuffer);
    services.runCommand("del *.aux *.log *.eps q1-eps-converted-to.pdf");
}
