// Grading with the test program's runs played by the test: what the student's
// functions gave, how their runs ended, and what the grader makes of it.
#include "key/grade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "key/key_test_support.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {
AnswerKey freshKey() {
    AnswerKey key{};
    EXPECT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    return key;
}

std::string number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// What the test program writes for a function: "i value" lines and "end",
// or, when it stops at point `stopAt`, only "i" for that point.
std::string results(const std::vector<GradePoint>& points, const std::function<std::string(double)>& value,
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

std::function<std::string(double)> valuesOf(const Signal& signal) {
    return [&signal](double t) { return number(rightValue(signal, t)); };
}

std::size_t indexOf(const std::vector<GradePoint>& points, double t) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].t == t) {
            return i;
        }
    }
    ADD_FAILURE() << "no point at " << t;
    return 0;
}

std::string judge(const Signal& expected, const std::vector<GradePoint>& points,
                  const std::string& output, int status = 0) {
    std::string verdict;
    const int right = judgeFunction(expected, points, output, status, 2, &verdict);
    EXPECT_EQ(right, verdict == "right" ? 1 : 0) << verdict;
    return verdict;
}
}  // namespace

TEST(GradingPoints, EveryBreakpointWithBothSidesAndAFineGrid) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    for (std::size_t i = 1; i < points.size(); ++i) {
        ASSERT_LT(points[i - 1].t, points[i].t) << "in order, each time once";
    }
    EXPECT_EQ(points.front().t, -4);
    EXPECT_EQ(points.back().t, 10);
    const double beside = 1.0 / 1048576;
    // x's and r's breakpoints, y's, and where the plot of y starts and ends.
    for (double b : {-2.0, 0.0, 1.0, 2.0, 3.0, 4.0, 8.0, -1.5, -0.5, 0.5, 1.5, 3.5}) {
        const GradePoint& at = points[indexOf(points, b)];
        EXPECT_EQ(at.side, 0) << b;
        const GradePoint& before = points[indexOf(points, b - beside)];
        EXPECT_EQ(before.near, b);
        EXPECT_EQ(before.side, -1);
        const GradePoint& after = points[indexOf(points, b + beside)];
        EXPECT_EQ(after.near, b);
        EXPECT_EQ(after.side, 1);
    }
    for (int i = 0; i <= 14 * 64; ++i) {
        indexOf(points, -4 + i / 64.0);
    }
}

TEST(GradingPoints, TheTestProgramCarriesTheTimesExactly) {
    const std::vector<GradePoint> points = {{-4, -4, 0}, {3 - 1.0 / 1048576, 3, -1}, {0.1, 0.1, 0}};
    const std::string source = harnessSource(points);
    EXPECT_NE(source.find("    -0x1p+2,\n    0x1.7ffff8p+1,\n    0x1.999999999999ap-4,\n};"),
              std::string::npos)
        << source;
    EXPECT_NE(source.find("double z(double t);"), std::string::npos);
    EXPECT_EQ(source.find("main(void)"), std::string::npos);
}

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

TEST(Judging, TheFirstWrongTimeWithBothValues) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    // Off by 1e-8 from t = 1.5 on.
    EXPECT_EQ(judge(key.x, points, results(points, [&](double t) {
                        return number(rightValue(key.x, t) + (t >= 1.5 ? 1e-8 : 0));
                    })),
              "wrong at t = 1.5: expected 1.5, got 1.5000000099999999");
    // A value between the two sides of the jump at 3.
    EXPECT_EQ(judge(key.x, points, results(points, [&](double t) {
                        return t == 3 ? std::string("-0.5") : number(rightValue(key.x, t));
                    })),
              "wrong at t = 3: expected 0 or -1, got -0.5");
    // The pulse begun too early: only the point just before 3 tells.
    EXPECT_EQ(judge(key.x, points, results(points, [&](double t) {
                        return number(t > 2.99 && t < 3 ? -1 : rightValue(key.x, t));
                    })),
              "wrong just before t = 3 (at t = 2.9999990463256836): expected 0, got -1");
    EXPECT_EQ(judge(key.x, points, results(points, [&](double t) {
                        return number(t > 4 && t < 4.01 ? -1 : rightValue(key.x, t));
                    })),
              "wrong just after t = 4 (at t = 4.000000953674316): expected 0, got -1");
}

TEST(Judging, ValuesThatAreNoNumbersAreWrong) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    for (const char* bad : {"inf", "-inf", "nan", "-nan", "1.#INF", "", "3x"}) {
        EXPECT_EQ(judge(key.r, points, results(points, [&](double t) {
                            return t == 2 ? std::string(bad) : number(rightValue(key.r, t));
                        })),
                  std::string("wrong at t = 2: expected 3, got ") + bad);
    }
}

TEST(Judging, RunsThatEndEarly) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    const std::size_t at1 = indexOf(points, 1);
    EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y), at1), 136),
              "wrong: it crashed (exit status 136) at t = 1");
    EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y), at1), commandTimedOut),
              "wrong: no value within 2 s at t = 1");
    EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y), at1), 0),
              "wrong: the program ended at t = 1 without a value");
    // Stopped before it wrote a thing, or between two points.
    EXPECT_EQ(judge(key.y, points, "", 139), "wrong: it crashed (exit status 139) at t = -4");
    std::string cut = results(points, valuesOf(key.y));
    const std::string lineAt1 = '\n' + std::to_string(at1) + ' ';
    cut = cut.substr(0, cut.find(lineAt1) + 1);
    EXPECT_EQ(judge(key.y, points, cut, 136), "wrong: it crashed (exit status 136) at t = 1");
    // A wrong value before the crash is the first thing that differs.
    EXPECT_EQ(judge(key.y, points, results(points, [](double) { return std::string("7"); }, at1), 136),
              "wrong at t = -4: expected 0, got 7");
    // A run that finished is judged by its values, whatever its status.
    EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y)), 1), "right");
}

namespace {
// The grading program, played: the functions named in `behaviour` write
// what it gives; the others write the key's values.
struct FakeRun {
    std::vector<GradePoint> points;
    const AnswerKey* key = nullptr;
    std::map<char, std::function<std::string(double)>> behaviour;
    std::map<char, std::pair<std::size_t, int>> stops;  // function: point, status
    std::vector<std::string> commands;
    std::vector<int> limits;
    int compileStatus = 0;
    bool writeNothing = false;
    int runStatus = 127;  // of a run that writes nothing
};
FakeRun fake;

int fakeRunWithTimeLimit(const char* commandLine, int seconds) {
    const std::string line = commandLine;
    fake.commands.push_back(withScratchStar(line));
    fake.limits.push_back(seconds);
    EXPECT_TRUE(fileExists(scratchPath(harnessSourceName))) << "the source stays until the end";
    if (line.rfind("tcc.exe ", 0) == 0) {
        return fake.compileStatus;
    }
    if (fake.writeNothing) {
        return fake.runStatus;
    }
    const char function = line[line.find(' ') + 1];
    const Signal& signal = function == 'x' ? fake.key->x : function == 'r' ? fake.key->r : fake.key->y;
    auto value = fake.behaviour.count(function) ? fake.behaviour[function] : valuesOf(signal);
    auto stop = fake.stops.count(function) ? fake.stops[function] : std::make_pair(SIZE_MAX, 0);
    writeFile(scratchPath(harnessResultsName), results(fake.points, value, stop.first));
    return stop.second;
}

int gradeWith(const AnswerKey& key, std::string* out) {
    fake.points = gradingPoints(key);
    fake.key = &key;
    fake.commands.clear();
    const GradeTools tools{fakeRunWithTimeLimit, 3};
    testing::internal::CaptureStdout();
    const int status = gradeAttempt(key, tools);
    *out = testing::internal::GetCapturedStdout();
    return status;
}

void expectNoScratchFiles() { EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{}); }
}  // namespace

TEST(Grading, OneLinePerQuestionAndTheTotal) {
    TempFolder folder;
    fake = FakeRun{};
    writeFile("signals.c", "/* the answers */\n");
    const AnswerKey key = freshKey();
    fake.behaviour['y'] = [&key](double t) { return number(rightValue(key.y, t) + (t >= 0.25)); };
    fake.stops['r'] = {indexOf(gradingPoints(key), 2), commandTimedOut};
    std::string out;
    EXPECT_EQ(gradeWith(key, &out), 1);
    const std::string exe = ".\\.key-harness.*\\harness.exe";
    const std::string results = ".\\.key-harness.*\\results.txt";
    EXPECT_EQ(fake.commands, (std::vector<std::string>{
                                 "tcc.exe -o " + exe + " .\\.key-harness.*\\harness.c signals.c",
                                 exe + " x " + results,
                                 exe + " y " + results,
                                 exe + " z " + results,
                                 exe + " r " + results,
                             }));
    EXPECT_EQ(fake.limits, (std::vector<int>{3, 3, 3, 3, 3}));
    EXPECT_EQ(out,
              "Compiling signals.c with the grading program...\n"
              "\n"
              "QUESTION 1  x(t): right\n"
              "QUESTION 2  y(t): wrong at t = 0.25: expected 1.5, got 2.5\n"
              "QUESTION 3  z(t): right\n"
              "QUESTION 4  r(t): wrong: no value within 3 s at t = 2\n"
              "\n"
              "2 of 4 right.\n");
    expectNoScratchFiles();
}

TEST(Grading, WhatKeepsItFromGrading) {
    TempFolder folder;
    fake = FakeRun{};
    std::string out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(gradeWith(freshKey(), &out), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no readable signals.c"), std::string::npos);
    EXPECT_TRUE(fake.commands.empty());

    std::filesystem::create_directory("signals.c");
    testing::internal::CaptureStderr();
    EXPECT_EQ(gradeWith(freshKey(), &out), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no readable signals.c"), std::string::npos);
    std::filesystem::remove("signals.c");

    writeFile("signals.c", "double x(double t) { return t }\n");
    const std::pair<int, const char*> compiles[] = {
        {1, "signals.c does not compile"},
        {127, "compiler tcc was not found"},
        {commandTimedOut, "the compiler did not finish within 3 s"},
    };
    for (const auto& [status, message] : compiles) {
        fake.compileStatus = status;
        testing::internal::CaptureStderr();
        EXPECT_EQ(gradeWith(freshKey(), &out), 2);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_EQ(fake.commands.size(), 1U) << "the compile only";
        expectNoScratchFiles();
    }

    fake.compileStatus = 0;
    fake.writeNothing = true;
    const std::pair<int, const char*> runs[] = {
        {127, "did not run (status 127)"},
        {commandNotRunnable, "this folder does not let programs run"},
    };
    for (const auto& [status, message] : runs) {
        fake.runStatus = status;
        testing::internal::CaptureStderr();
        EXPECT_EQ(gradeWith(freshKey(), &out), 2);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(message), std::string::npos) << err;
        expectNoScratchFiles();
    }
    EXPECT_EQ(readFile("signals.c"), "double x(double t) { return t }\n");
}
