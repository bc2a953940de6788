#include "generate/pdf.h"

#include <cstdio>
#include <string>

#include "generate/text_file.h"
#include "platform/platform.h"

int writeDefs(ExamRecord record) {
    std::string f;
    appendText(&f, "\\newcommand\\idNum{%ld}\n", static_cast<long>(record.idNum));
    appendText(&f, "\\newcommand\\grpNum{%d}\n", record.grpNum);
    appendText(&f, "\\newcommand\\varQT{%d}\n", record.varQT);
    appendText(&f, "\\newcommand\\varQK{%d}\n", record.varQK);
    appendText(&f, "\\newcommand\\varTstart{%g}\n", record.varTstart);
    appendText(&f, "\\newcommand\\varTend{%g}\n", record.varTend);
    appendText(&f, record.varAmp == 1 ? "\\newcommand\\varAmp{ }\n" : "\\newcommand\\varAmp{-}\n");
    return writeTextFile(defsFileName, f);
}

void buildExamPdf(ExamRecord record, char (&commandBuffer)[80], const ExamServices& services) {
    writeDefs(record);
    std::printf("Creating %d.pdf\n", record.idNum);
    // What pdflatex writes in place: a link there must not lead it elsewhere.
    for (const char* extension : {"pdf", "aux", "log"}) {
        std::snprintf(commandBuffer, sizeof commandBuffer, "%ld.%s", static_cast<long>(record.idNum),
                      extension);
        removeUnlessPlainFile(commandBuffer);
    }
    std::snprintf(commandBuffer, sizeof commandBuffer,
                  "pdflatex %s -jobname=%ld -quiet -silent", examDocumentFileName,
                  static_cast<long>(record.idNum));
    runTool(services, commandBuffer, "pdflatex", pdflatexTimeLimitSeconds);
    runTool(services, commandBuffer, "pdflatex", pdflatexTimeLimitSeconds);
    runTool(services, "del *.aux *.log *.eps q1-eps-converted-to.pdf", "del", deleteTimeLimitSeconds);
}
