// Grading with the test program's runs played by the test: what the student's
// functions gave, how their runs ended, and what the grader makes of it.
#include "key/judging/grade.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string_view>

#include "key/judging/grading_test_support.h"
#include "key/base/scratch.h"
#include "key/plots/check_plot.h"
#include "platform/platform.h"
#include "test_support.h"

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

namespace {
// The grading program, played: the functions named in `behaviour` write
// what it gives; the others write the key's values.
struct FakeRun {
    std::vector<GradePoint> points;
    const AnswerKey* key = nullptr;
    std::map<char, std::function<std::string(double)>> behaviour;
    std::map<char, std::pair<std::size_t, RunResult>> stops;  // function: point, how its run ended
    std::vector<std::string> commands;
    std::vector<int> limits;
    RunResult compileStatus;
    bool writeNothing = false;
    RunResult runStatus = notStarted(RunStart::notFound);  // of a run that writes nothing
    RunResult plotStatus = notStarted(RunStart::notIsolated);  // gnuplot's, which never draws check.png
};
FakeRun fake;

RunResult fakeRunWithTimeLimit(const char* commandLine, int seconds) {
    const std::string line = commandLine;
    fake.commands.push_back(withScratchStar(line));
    fake.limits.push_back(seconds);
    if (line.rfind("..\\gnuplot", 0) == 0) {
        return fake.plotStatus;
    }
    if (line.rfind("tcc.exe ", 0) == 0) {
        return fake.compileStatus;
    }
    if (fake.writeNothing) {
        return fake.runStatus;
    }
    const char function = line[line.find(' ') + 1];
    const Signal& signal = function == 'x' ? fake.key->x : function == 'r' ? fake.key->r : fake.key->y;
    auto value = fake.behaviour.count(function) ? fake.behaviour[function] : valuesOf(signal);
    auto stop = fake.stops.count(function) ? fake.stops[function] : std::make_pair(SIZE_MAX, RunResult{});
    writeFile(scratchPath(harnessResultsName), results(fake.points, value, stop.first));
    return stop.second;
}

// The student's code runs only fenced, in the grading's private folder,
// which holds the test program's source and a copy of signals.c.
RunResult fakeRunFenced(const char* commandLine, const char* folder, int seconds) {
    EXPECT_EQ(std::string(folder), scratchFolder());
    EXPECT_EQ(std::filesystem::path(folder).parent_path(), std::filesystem::current_path())
        << "the temporary folder, which the tests make their own";
    EXPECT_TRUE(fileExists(scratchPath(harnessSourceName))) << "the source stays until the end";
    EXPECT_EQ(readFile(scratchPath(studentSourceName)), readFile("signals.c"));
    return fakeRunWithTimeLimit(commandLine, seconds);
}

int gradeWith(const AnswerKey& key, std::string* out) {
    fake.points = gradingPoints(key);
    fake.key = &key;
    fake.commands.clear();
    ExamServices services = scriptedServices();
    services.runCommandWithTimeLimit = fakeRunWithTimeLimit;
    services.runFenced = fakeRunFenced;
    testing::internal::CaptureStdout();
    // As the grade command does it.
    GradedAttempt graded;
    const int status = gradeAttempt(key, services, 3, &graded);
    if (status != 2) {
        drawCheckPlot(graded, services, false);
    }
    *out = testing::internal::GetCapturedStdout();
    return status;
}

void expectNoScratchFiles() { EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{}); }
}  // namespace

TEST(Grading, OneLinePerQuestionAndTheTotal) {
    TempFolder folder;
    fake = FakeRun{};
    writeFile("signals.c", "/* the answers */\n");
    writeFile("check.png", "an old grading's picture");
    const AnswerKey key = freshKey();
    Signal shiftedWrongWay;
    scaleTime(key.x, 2, -1, &shiftedWrongWay);
    fake.behaviour['y'] = [&](double t) { return number(rightValue(shiftedWrongWay, t)); };
    fake.stops['r'] = {indexOf(gradingPoints(key), 2), stoppedAtTimeLimit()};
    std::string out;
    EXPECT_EQ(gradeWith(key, &out), 1);
    const std::string exe = ".\\harness.exe";
    const std::string results = "results.txt";
    EXPECT_EQ(fake.commands, (std::vector<std::string>{
                                 "tcc.exe -o harness.exe harness.c signals.c",
                                 exe + " x " + results,
                                 exe + " y " + results,
                                 // The wrong y's repairs, with those of z and r, compiled once.
                                 "tcc.exe -w -o repairs.exe repairs.c >NUL 2>NUL",
                                 exe + " z " + results,
                                 exe + " r " + results,
                                 "..\\gnuplot\\bin\\gnuplot.exe .\\.key-plot.*\\plot.gp",
                             }));
    EXPECT_EQ(fake.limits, (std::vector<int>{3, 3, 3, 3, 3, 3, 20}));
    EXPECT_EQ(out,
              "Compiling signals.c with the grading program...\n"
              "\n"
              "QUESTION 1  x(t): right\n"
              "QUESTION 2  y(t): wrong for t > -0.5: at t = 1.125 expected -1, got 2.25\n"
              "                  your y(t) is x(2t-1), moved the wrong way: x(2(t+0.5)) is moved left by 0.5, "
              "as y(t) takes x's value at the later time 2(t+0.5).\n"
              "                  Check: y(0) should be x(1) = 3; yours gives 0.\n"
              "QUESTION 3  z(t): right\n"
              "QUESTION 4  r(t): wrong: at t = 2 it never returned a value within 3 s\n"
              "\n"
              "2 of 4 right.\n"
              "check.png was not drawn.\n");
    EXPECT_FALSE(fileExists("check.png")) << "an old picture must not pass for this grading's";
    expectNoScratchFiles();
}

TEST(Grading, SaysWhyCheckPngWasNotDrawnAsEveryPictureDoes) {
    TempFolder folder;
    writeFile("signals.c", "/* the answers */\n");
    RunResult timedOut;
    timedOut.timedOut = true;
    RunResult failed;
    failed.exitStatus = 1;
    const std::pair<RunResult, std::string> plots[] = {
        {timedOut, "check.png was not drawn: gnuplot did not finish within 20 s.\n"},
        {failed, "check.png was not drawn (gnuplot status 1).\n"},
    };
    for (const auto& [status, message] : plots) {
        fake = FakeRun{};
        fake.plotStatus = status;
        std::string out;
        EXPECT_EQ(gradeWith(freshKey(), &out), 0);
        EXPECT_TRUE(std::string_view(out).ends_with(message)) << out;
    }
}

TEST(Grading, AZAfterAYThatStoppedEarlyIsNotComparedWithIt) {
    TempFolder folder;
    fake = FakeRun{};
    writeFile("signals.c", "/* the answers */\n");
    const AnswerKey key = freshKey();
    fake.stops['y'] = {1, stoppedAtTimeLimit()};  // one value of y, then no more
    // The first of z's values is that y's: comparing goes on past y's end.
    fake.behaviour['z'] = [&](double t) { return number(rightValue(key.y, t) + (t > 9 ? 1 : 0)); };
    std::string out;
    EXPECT_EQ(gradeWith(key, &out), 1);
    EXPECT_NE(out.find("QUESTION 3  z(t): wrong"), std::string::npos) << out;
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

    // tcc would stop at the first name after the mark.
    writeFile("signals.c", "\xEF\xBB\xBF" "double u(double t) { return t >= 0; }\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(gradeWith(freshKey(), &out), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "cannot grade: signals.c starts with a UTF-8 byte-order mark"),
              std::string::npos);
    EXPECT_TRUE(fake.commands.empty()) << "a file with the mark is never compiled";

    writeFile("signals.c", "double x(double t) { return t }\n");
    const std::pair<RunResult, const char*> compiles[] = {
        {exitedWith(1), "signals.c does not compile"},
        {notStarted(RunStart::notFound), "compiler tcc was not found"},
        {notStarted(RunStart::notStartable), "compiler tcc is there, but the system would not start it"},
        {stoppedAtTimeLimit(), "the compiler did not finish within 3 s"},
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

    fake.compileStatus = exitedWith(0);
    fake.writeNothing = true;
    const std::pair<RunResult, std::string> runs[] = {
        {notStarted(RunStart::notFound), "did not run (status 127)"},
        {notStarted(RunStart::notStartable), "the temporary folder " + std::filesystem::current_path().string() +
                                 " does not let programs run"},
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
