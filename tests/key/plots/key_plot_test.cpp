// The answer key drawn, and a grading: the gnuplot scripts and data behind
// key.png and check.png.
#include "key/plots/key_plot.h"

#include "key/plots/check_plot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "key/key_test_support.h"
#include "test_support.h"

TEST(KeyPlot, PlotDataDrawJumpsAsEdgesWithinTheExamsWindow) {
    TempFolder folder;
    AnswerKey key{};
    ASSERT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    ASSERT_EQ(writeKeyPlot(key, "plot.gp", "plot.dat", "key.png"), 0);
    const std::string script = readText("plot.gp");
    EXPECT_NE(script.find("set output \"key.png\""), std::string::npos);
    EXPECT_NE(script.find("set xrange [-2.5:8.5]"), std::string::npos) << "as q1.png shows x";
    EXPECT_NE(script.find("set yrange [-1.5:3.5]"), std::string::npos);
    EXPECT_NE(script.find("set xrange [-2:4]"), std::string::npos) << "y's window";
    EXPECT_NE(script.find("plot \"plot.dat\" index 2"), std::string::npos);
    const std::string data = readText("plot.dat");
    EXPECT_NE(data.find("3 0\n3 -1\n"), std::string::npos) << "x's jump at 3";
    EXPECT_NE(data.find("4 -1\n4 0\n"), std::string::npos) << "x's jump at 4";
    EXPECT_EQ(data.substr(0, 12), "-2.5 0\n0 0\n0");
}

TEST(KeyPlot, UnwritablePlotFilesAreReported) {
    TempFolder folder;
    AnswerKey key{};
    ASSERT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    std::filesystem::create_directory("plot.dat");
    testing::internal::CaptureStderr();
    EXPECT_EQ(writeKeyPlot(key, "plot.gp", "plot.dat", "key.png"), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write plot.dat"), std::string::npos);
}

TEST(CheckPlot, HintsFirstAndValuesOffThePanelAtItsEdge) {
    TempFolder folder;
    AnswerKey key{};
    ASSERT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    const std::vector<GradePoint> points = gradingPoints(key);
    GradedQuestion r{};
    r.title = "QUESTION 4  r(t): wrong";
    r.key = &key.r;
    r.lo = -2.5;
    r.hi = 8.5;
    r.complete = true;
    for (std::size_t i = 0; i < points.size(); ++i) {
        r.values.push_back(points[i].t > 6 ? 1e6 : rightValue(key.r, points[i].t));
        if (points[i].t > 6) {
            r.wrongPoints.push_back(i);
        }
    }
    for (const bool showKey : {false, true}) {
        ASSERT_EQ(writeCheckPlot(points, {r}, "plot.gp", "plot.dat", "check.png", showKey), 0);
        const std::string script = readText("plot.gp");
        EXPECT_EQ(script.find("title \"key\"") != std::string::npos, showKey) << script;
        EXPECT_NE(script.find("set key below"), std::string::npos) << "not clipped at the right";
        const std::string data = readText("plot.dat");
        EXPECT_EQ(data.rfind("-2.5 0\n", 0) == 0, showKey) << "the key's samples come first";
        // Above the panel's top (10.5): a mark at its edge for each, the value once.
        EXPECT_NE(data.find("\n10 10.02\n"), std::string::npos);
        const std::size_t label = data.find(" \"1e+06\"\n");
        EXPECT_NE(label, std::string::npos);
        EXPECT_EQ(data.find("\"1e+06\"", label + 2), std::string::npos) << "one run, one label";
    }
}
