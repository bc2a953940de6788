#include "generate/questions.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "generate/exam_rules.h"
#include "generate/text_file.h"
#include "platform/platform.h"

int makeQuestion1(ExamRecord* record, const ExamServices& services) {
    const double s = services.drawRandom() % triangleStartCount + firstTriangleStart;
    const int a = services.drawRandom() % peakCount + smallestPeak;
    // The third draw only keeps the later draws in their places: 1.0 to any
    // power is 1, so the peak stays positive.
    const int peak = a * static_cast<int>(std::pow(1.0, services.drawRandom() % 2));
    const int pulseStart = static_cast<int>(s + pulseDelay + services.drawRandom() % pulseDelayCount);
    const int pulseHeight = static_cast<int>(std::pow(-1.0, services.drawRandom() % 2));
    // Question 2 is drawn by makeQuestion2, into the record itself.
    writeQuestion1({.s = static_cast<int>(s), .a = peak, .p = pulseStart, .b = pulseHeight, .scale = 0, .k = 0},
                   record);
    return plotQuestion1(*record, services);
}

int plotQuestion1(const ExamRecord& record, const ExamServices& services, RunResult* gnuplotRun) {
    const int result = writeTextFile(plotDataFileName, question1PlotData(record), examWriter);
    removeUnlessPlainFile(plotPictureFileName);  // gnuplot writes it in place
    const RunResult gnuplot = runTool(services, (std::string(gnuplotProgram) + " " + plotScriptFileName + "\n").c_str(),
                                      "gnuplot", gnuplotTimeLimitSeconds);
    if (gnuplotRun != nullptr) {
        *gnuplotRun = gnuplot;
    }
    if (gnuplot.start == RunStart::notFound) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", gnuplotMissingLine(plotPictureFileName).c_str());
    }
    return result;
}

std::string gnuplotMissingLine(const char* pngName) {
    return std::string(pngName) + " was not drawn: " + gnuplotWhereabouts() + ".";
}

int randomNonzero(int a, const ExamServices& services) {
    for (;;) {
        const int value = services.drawRandom() % (2 * a) - a;
        if (value != 0) {
            return value;
        }
    }
}

void makeQuestion2(ExamRecord* record, const ExamServices& services) {
    record->varQT = randomNonzero(shiftRange, services);
    record->varQK = timeScale;
}

void makeWindow(ExamRecord* record, const ExamServices& services) {
    record->varTstart = (services.drawRandom() % windowStartCount) * windowStep;
    record->varTend = record->varTstart + windowStep;
    record->varAmp = static_cast<std::int32_t>(std::pow(-1.0, services.drawRandom() % 2));
}
