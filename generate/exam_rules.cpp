#include "generate/exam_rules.h"

#include <cstdio>

void question1Breakpoints(int s, int a, int p, int b, std::int32_t* t, std::int32_t* x) {
    const std::int32_t times[q1PointCount] = {-2, s, s + 1, s + 2, p, p, p + 1, p + 1, 8, 8, 8};
    const std::int32_t values[q1PointCount] = {0, 0, a, 0, 0, b, b, 0, 0, 0, 0};
    for (int i = 0; i < q1PointCount; ++i) {
        t[i] = times[i];
        x[i] = values[i];
    }
}

int question2ShiftAt(int place) { return -shiftRange + place + (place >= shiftRange ? 1 : 0); }

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
