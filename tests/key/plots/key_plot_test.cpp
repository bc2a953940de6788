// The answer key drawn: the gnuplot script and data behind key.png.
#include "key/plots/key_plot.h"

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
