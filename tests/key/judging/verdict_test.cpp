// Judging one function's run: where and how its values are wrong, and how
// a run that ended early ended.
#include "key/judging/verdict.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "key/judging/grading_test_support.h"
#include "platform/services.h"

TEST(Judging, RightValuesAndTheOneSidedValuesAtAJump) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    EXPECT_EQ(judge(key.x, points, results(points, valuesOf(key.x))), "right");
    // The left-hand value at both jumps of x (3 and 4) is right too.
    EXPECT_EQ(judge(key.x, points, results(points, [&](double t) {
                        return number(leftValue(key.x, t));
                    })),
              "right");
    // Rounding far below the tolerance is no error.
    EXPECT_EQ(judge(key.r, points, results(points, [&](double t) {
                        return number(rightValue(key.r, t) + 4e-10);
                    })),
              "right");
    // Windows' C library writes "\r\n".
    std::string crlf;
    for (char c : results(points, valuesOf(key.y))) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(judge(key.y, points, crlf), "right");
}

TEST(Judging, WhereAndHowAWrongAnswerDiffers) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    const auto x = [&key](double t) { return rightValue(key.x, t); };
    struct Case {
        std::function<double(double)> value;
        const char* verdict;
    };
    const Case cases[] = {
        // Too small to see in 6 digits.
        {[&](double t) { return x(t) + (t >= 1.5 && t <= 1.75 ? 1e-8 : 0); },
         "wrong for 1 < t < 2: at t = 1.5 expected 1.5, got 1.5 (off by 1e-08)"},
        // Two pieces apart: the worst time of the coarse grid.
        {[&](double t) { return t > 0 && t < 1 ? 0 : t > 3 && t < 4 ? 1 : x(t); },
         "wrong for 0 < t < 1 and 3 < t < 4: at t = 0.875 expected 2.625, got 0"},
        {[&](double t) { return t == 3 ? -0.5 : x(t); },
         "wrong only at t = 3: expected 0 or -1, got -0.5 (check <= and >= at the corners)"},
        {[&](double t) { return t == 1 || t == 2 ? 7 : x(t); },
         "wrong only at t = 1 and t = 2: at t = 1 expected 3, got 7 (check <= and >= at the corners)"},
        // The pulse begun too early: only the point just before 3 tells.
        {[&](double t) { return t > 2.99 && t < 3 ? -1 : x(t); },
         "wrong just before t = 3: expected 0, got -1"},
        {[&](double t) { return t > 2.99 && t < 3 ? -1 : t == 1 ? 7 : x(t); },
         "wrong just before t = 3: expected 0, got -1 (and at other corners)"},
        {[&](double t) { return t > 4 && t < 4.01 ? -1 : x(t); },
         "wrong just after t = 4: expected 0, got -1"},
        // Six significant digits, all of them.
        {[&](double t) { return t == 0.5 ? 1.23456 : x(t); },
         "wrong for 0 < t < 1: at t = 0.5 expected 1.5, got 1.23456"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(judge(key.x, points, results(points, [&](double t) { return number(c.value(t)); })),
                  c.verdict);
    }
}

TEST(Judging, ValuesThatAreNoNumbersAreWrong) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    const std::pair<const char*, const char*> values[] = {
        {"inf", "inf"}, {"-inf", "-inf"}, {"nan", "nan"}, {"-nan", "nan"},
        {"1.#INF", "nan"}, {"", "nan"}, {"3x", "nan"}};
    for (const auto& [bad, shown] : values) {
        EXPECT_EQ(judge(key.r, points, results(points, [&](double t) {
                            return t == 2 ? std::string(bad) : number(rightValue(key.r, t));
                        })),
                  std::string("wrong only at t = 2: expected 3, got ") + shown);
    }
}

TEST(Judging, RunsThatEndEarly) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    const std::size_t at1 = indexOf(points, 1);
    const std::pair<RunResult, const char*> endings[] = {
        {endedBySignal(8), "wrong: it crashed at t = 1: division by zero"},
        {exitedWith(static_cast<int>(0xC0000094u)), "wrong: it crashed at t = 1: division by zero"},
        {endedBySignal(11), "wrong: it crashed at t = 1: invalid memory access"},
        {exitedWith(static_cast<int>(0xC0000005u)), "wrong: it crashed at t = 1: invalid memory access"},
        {exitedWith(3), "wrong: it crashed at t = 1 (exit status 3)"},
        {exitedWith(139), "wrong: it crashed at t = 1 (exit status 139)"},  // a status, no signal
        {endedBySignal(10), "wrong: it crashed at t = 1 (exit status 138)"},
        {stoppedAtTimeLimit(), "wrong: at t = 1 it never returned a value within 2 s"},
        {exitedWith(0), "wrong: the program ended at t = 1 without a value"},
    };
    for (const auto& [status, verdict] : endings) {
        EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y), at1), status), verdict);
    }
    // Stopped before it wrote a thing, or between two points.
    EXPECT_EQ(judge(key.y, points, "", endedBySignal(11)), "wrong: it crashed at t = -4: invalid memory access");
    std::string cut = results(points, valuesOf(key.y));
    const std::string lineAt1 = '\n' + std::to_string(at1) + ' ';
    cut = cut.substr(0, cut.find(lineAt1) + 1);
    EXPECT_EQ(judge(key.y, points, cut, endedBySignal(8)), "wrong: it crashed at t = 1: division by zero");
    // Wrong values before the crash come first.
    EXPECT_EQ(judge(key.y, points, results(points, [](double) { return std::string("7"); }, at1), endedBySignal(8)),
              "wrong for t < 1: at t = -4 expected 0, got 7; then it crashed at t = 1: division by zero");
    // A run that finished is judged by its values, whatever its status.
    EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y)), exitedWith(1)), "right");
}
