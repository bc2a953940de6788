#include "generate/exam_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
// The record's Question 1 fields, laid out as they lie in the record.
struct Question1Block {
    double shift;
    std::int32_t t[q1PointCount];
    std::int32_t x[q1PointCount];
};
static_assert(sizeof(Question1Block) == q1BlockSize);

// Where question1Breakpoints puts the triangle's start and peak, and the
// pulse's first corner at its height.
constexpr int triangleStartPoint = 1;
constexpr int peakPoint = 2;
constexpr int pulseTopPoint = 5;

void question1Breakpoints(const ExamParameters& exam, std::int32_t* t, std::int32_t* x) {
    const int s = exam.s;
    const int p = exam.p;
    const std::int32_t times[q1PointCount] = {q1PlotStart, s, s + triangleWidth / 2, s + triangleWidth,
                                              p, p, p + pulseWidth, p + pulseWidth,
                                              q1PlotEnd, q1PlotEnd, q1PlotEnd};
    const std::int32_t values[q1PointCount] = {0, 0, exam.a, 0, 0, exam.b, exam.b, 0, 0, 0, 0};
    for (int i = 0; i < q1PointCount; ++i) {
        t[i] = times[i];
        x[i] = values[i];
    }
}
}  // namespace

void writeQuestion1(const ExamParameters& exam, ExamRecord* record) {
    Question1Block block{static_cast<double>(exam.s), {}, {}};
    question1Breakpoints(exam, block.t, block.x);
    std::memcpy(reinterpret_cast<unsigned char*>(record) + offsetof(ExamRecord, q1Shift), &block, q1BlockSize);
}

ExamParameters examParameters(const ExamRecord& record) {
    return {.s = record.q1T[triangleStartPoint],
            .a = record.q1X[peakPoint],
            .p = record.q1T[pulseTopPoint],
            .b = record.q1X[pulseTopPoint],
            .scale = record.varQK,
            .k = record.varQT};
}

int question2ShiftAt(int place) { return -shiftRange + place + (place >= shiftRange ? 1 : 0); }

std::string formatTransform(int scale, int shift) {
    char text[40];
    std::snprintf(text, sizeof text, "y(t) = x(%dt%+d)", scale, shift);
    return text;
}

bool isGroup(long group) { return group == 1 || group == 3 || group == 4; }

bool questionsAreMade(const ExamRecord& record) {
    switch (record.state) {
    case AwaitKey:
    case MakeWindow:
    case WriteText:
    case BuildPdf:
    case Menu:
    case Exiting:
        return true;
    default:
        return false;
    }
}

std::string question1PlotData(const ExamRecord& record) {
    std::string data;
    for (int i = 0; i < q1PointCount; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%d %d\n", record.q1T[i], record.q1X[i]);
        data += line;
    }
    return data;
}
