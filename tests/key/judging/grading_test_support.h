// The key and the test program's output, made up for the grading tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "key/running/points.h"
#include "key/running/results.h"
#include "key/judging/verdict.h"
#include "key/key_test_support.h"
#include "key/model/answer_key.h"

inline AnswerKey freshKey() {
    AnswerKey key{};
    EXPECT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    return key;
}

inline std::string number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// What the test program writes for a function: "i value" lines and "end",
// or, when it stops at point `stopAt`, only "i" for that point.
inline std::string results(const std::vector<GradePoint>& points,
                           const std::function<std::string(double)>& value,
                           std::size_t stopAt = SIZE_MAX) {
    std::string text;
    for (std::size_t i = 0; i < points.size(); ++i) {
        text += std::to_string(i);
        if (i == stopAt) {
            return text;
        }
        text += ' ';
        text += value(points[i].t);
        text += '\n';
    }
    return text + "end\n";
}

inline std::function<std::string(double)> valuesOf(const Signal& signal) {
    return [&signal](double t) { return number(rightValue(signal, t)); };
}

inline std::size_t indexOf(const std::vector<GradePoint>& points, double t) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].t == t) {
            return i;
        }
    }
    ADD_FAILURE() << "no point at " << t;
    return 0;
}

inline std::string judge(const Signal& expected, const std::vector<GradePoint>& points,
                         const std::string& output, const RunResult& status = RunResult{}) {
    const Verdict verdict = judgeRun(expected, points, readRun(output, points.size(), status), 2);
    EXPECT_EQ(verdict.right, verdict.text == "right" ? 1 : 0) << verdict.text;
    return verdict.text;
}
