#include "generate/questions.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "generate/exam_rules.h"
#include "generate/text_file.h"
#include "platform/platform.h"

namespace {
// The record's Question 1 fields, laid out as they lie in the record.
struct Question1Block {
    double shift;
    std::int32_t t[q1PointCount];
    std::int32_t x[q1PointCount];
};
static_assert(sizeof(Question1Block) == q1BlockSize);
}  // namespace

int makeQuestion1(ExamRecord* record, const ExamServices& services) {
    const double s = services.drawRandom() % triangleStartCount + firstTriangleStart;
    const int a = services.drawRandom() % peakCount + smallestPeak;
    // The third draw only keeps the later draws in their places: 1.0 to any
    // power is 1, so the peak stays positive.
    const int peak = a * static_cast<int>(std::pow(1.0, services.drawRandom() % 2));
    const int pulseStart = static_cast<int>(s + pulseDelay + services.drawRandom() % 2);
    const int pulseHeight = static_cast<int>(std::pow(-1.0, services.drawRandom() % 2));

    Question1Block block{s, {}, {}};
    question1Breakpoints(static_cast<int>(s), peak, pulseStart, pulseHeight, block.t, block.x);

    std::memcpy(reinterpret_cast<unsigned char*>(record) + offsetof(ExamRecord, q1Shift), &block,
                q1BlockSize);
    return plotQuestion1(*record, services);
}

int plotQuestion1(const ExamRecord& record, const ExamServices& services) {
    const int result = writeTextFile(plotDataFileName, question1PlotData(record), examWriter);
    removeUnlessPlainFile(plotPictureFileName);  // gnuplot writes it in place
    if (runTool(services, (std::string(gnuplotProgram) + " q1.gp\n").c_str(), "gnuplot",
                gnuplotTimeLimitSeconds).start == RunStart::notFound) {
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
