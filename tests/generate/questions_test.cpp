#include "generate/questions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "generate/exam_rules.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {
std::string plotLines(const ExamRecord& record) {
    std::ostringstream lines;
    for (int i = 0; i < q1PointCount; ++i) {
        lines << record.q1T[i] << ' ' << record.q1X[i] << '\n';
    }
    return lines.str();
}

ExamRecord question1From(std::vector<int> draws) {
    resetScript();
    script().draws = std::move(draws);
    ExamRecord record{};
    makeQuestion1(&record, scriptedServices());
    return record;
}
}  // namespace

TEST(Question1, DrawsShapeTheSignalAndTheFileMatchesTheRecord) {
    struct Case {
        std::vector<int> draws;
        double shift;
        const char* lines;
    };
    const Case cases[] = {
        {{1, 0, 0, 0, 1}, 0, "-2 0\n0 0\n1 2\n2 0\n3 0\n3 -1\n4 -1\n4 0\n8 0\n8 0\n8 0\n"},
        // The latest triangle and pulse: the pulse ends at t = 8 itself.
        {{4, 1, 1, 1, 0}, 3, "-2 0\n3 0\n4 3\n5 0\n7 0\n7 1\n8 1\n8 0\n8 0\n8 0\n8 0\n"},
        // The earliest: the triangle starts at -1.
        {{5, 2, 7, 4, 6}, -1, "-2 0\n-1 0\n0 2\n1 0\n2 0\n2 1\n3 1\n3 0\n8 0\n8 0\n8 0\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const ExamRecord record = question1From(c.draws);
        EXPECT_EQ(record.q1Shift, c.shift);
        EXPECT_EQ(readTextFile("q1plot.dat"), c.lines);
        EXPECT_EQ(plotLines(record), c.lines);
        EXPECT_EQ(script().drawPosition, 5u);
        EXPECT_EQ(script().commands, std::vector<std::string>{"..\\gnuplot\\bin\\gnuplot.exe q1.gp\n"});
    }
}

TEST(Question1, ThePeakStaysPositiveWhateverTheThirdDraw) {
    TempFolder folder;
    for (int third : {0, 1, 2, 3}) {
        const ExamRecord record = question1From({0, 1, third, 0, 0});
        EXPECT_EQ(record.q1X[2], 3) << third;
    }
}

TEST(Question1, OnlyTheQuestion1BlockIsWritten) {
    TempFolder folder;
    resetScript();
    script().draws = {1, 0, 0, 0, 1};
    ExamRecord record = patternedRecord();
    const std::string before = bytesOf(record);
    makeQuestion1(&record, scriptedServices());
    const std::string after = bytesOf(record);
    EXPECT_EQ(after.substr(0, 16), before.substr(0, 16));
    EXPECT_EQ(after.substr(112), before.substr(112));
}

TEST(Question1, AnUnwritablePlotFileStillFillsTheRecordAndRunsGnuplot) {
    TempFolder folder;
    std::filesystem::create_directory("q1plot.dat");
    testing::internal::CaptureStderr();
    resetScript();
    script().draws = {1, 0, 0, 0, 1};
    ExamRecord record{};
    EXPECT_EQ(makeQuestion1(&record, scriptedServices()), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("q1plot.dat"), std::string::npos);
    EXPECT_EQ(record.q1X[5], -1);
    EXPECT_EQ(script().commands.size(), 1u);
}

TEST(Question1, AMissingGnuplotIsToldInOneLineOnStderrOnly) {
    TempFolder folder;
    const ExamRecord record = question1From({1, 0, 0, 0, 1});
    // One that is there but cannot start is not said to be missing.
    for (const RunResult status : {notStarted(RunStart::notFound), exitedWith(0), exitedWith(1),
                                   notStarted(RunStart::notStartable)}) {
        resetScript();
        script().commandStatus = status;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        plotQuestion1(record, scriptedServices());
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out, "") << shellStatus(status);
        EXPECT_EQ(err, status.start == RunStart::notFound
                           ? "q1.png was not drawn: " + std::string(gnuplotWhereabouts()) + ".\n"
                           : "")
            << shellStatus(status);
    }
}

TEST(Question2, RandomNonzeroSkipsZeroAndNeverReachesPlusA) {
    resetScript();
    script().draws = {3, 4};
    EXPECT_EQ(randomNonzero(3, scriptedServices()), 1);
    EXPECT_EQ(script().drawPosition, 2u);

    // Every residue of the first draw, for several sizes; a draw of 0 (-a)
    // follows for the residue that is thrown away.
    for (int a : {1, 2, 3, 5}) {
        for (int draw = 0; draw < 4 * a; ++draw) {
            resetScript();
            script().draws = {draw, 0};
            const int value = randomNonzero(a, scriptedServices());
            EXPECT_NE(value, 0);
            EXPECT_GE(value, -a);
            EXPECT_LT(value, a);
        }
    }
}

TEST(Question2, TransformHasTheRulesScaleAndANonzeroShift) {
    resetScript();
    script().draws = {3, 3, 0};
    ExamRecord record{};
    makeQuestion2(&record, scriptedServices());
    EXPECT_EQ(record.varQT, -3);
    EXPECT_EQ(record.varQK, timeScale);
    // Only the shift is drawn: the window's draws come next.
    EXPECT_EQ(script().drawPosition, 3u);
}

TEST(Window, DrawsStartEndAndSign) {
    resetScript();
    script().draws = {13, 2};
    ExamRecord record{};
    makeWindow(&record, scriptedServices());
    EXPECT_EQ(record.varTstart, 1.5);
    EXPECT_EQ(record.varTend, 1.75);
    EXPECT_EQ(record.varAmp, 1);

    resetScript();
    script().draws = {7, 9};
    makeWindow(&record, scriptedServices());
    EXPECT_EQ(record.varTstart, 0);
    EXPECT_EQ(record.varTend, 0.25);
    EXPECT_EQ(record.varAmp, -1);
}

TEST(FreshExam, TheSeededSequenceGivesTheKnownQuestions) {
    TempFolder folder;
    resetScript();
    scriptedServices().seedRandom(1);
    ExamRecord record{};
    makeQuestion1(&record, scriptedServices());
    makeQuestion2(&record, scriptedServices());
    EXPECT_EQ(readTextFile("q1plot.dat"), "-2 0\n0 0\n1 3\n2 0\n3 0\n3 -1\n4 -1\n4 0\n8 0\n8 0\n8 0\n");
    EXPECT_EQ(record.q1Shift, 0);
    EXPECT_EQ(record.varQT, 1);
}
