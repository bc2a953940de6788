// The answer key as the instructor reads it.
#include "key/model/key_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "key/key_test_support.h"
#include "test_support.h"

namespace {
std::string printed(const ExamRecord& record, const AnswerKey& key) {
    TempFolder folder;
    std::FILE* file = std::fopen("answers.txt", "w");
    printAnswers(file, record, key);
    std::fclose(file);
    return readText("answers.txt");
}

std::string answersText(const ExamRecord& record) {
    AnswerKey key{};
    EXPECT_EQ(makeAnswerKey(record, &key), 0);
    return printed(record, key);
}
}  // namespace

TEST(KeyText, PolynomialsAndStepsReadAsC) {
    EXPECT_EQ(formatPolynomial({0, 1, -3, 6, -1.5}), "-1.5*t*t + 6*t - 3");
    EXPECT_EQ(formatPolynomial({0, 1, 0, 1, 0}), "t");
    EXPECT_EQ(formatPolynomial({0, 1, 6, -1, 0}), "-t + 6");
    EXPECT_EQ(formatPolynomial({0, 1, 0, 0, 0}), "0");
    EXPECT_EQ(formatPolynomial({0, 1, -0.5, 0, 0}), "-0.5");
    EXPECT_EQ(formatNumber(-0.0), "0") << "a zero area of -x(t) is no -0";
    EXPECT_EQ(formatStepSum({}), "0");
    EXPECT_EQ(formatStepSum({{-0.5, 0, 6}, {0, 0, -12}, {1, -1, 0}, {1.5, 1, 0}}),
              "6*(t+0.5)*u(t+0.5) - 12*t*u(t) - u(t-1) + u(t-1.5)");
    EXPECT_EQ(formatStepSum({{0, 2, 1}, {2, 0, -1}}), "2*u(t) + t*u(t) - (t-2)*u(t-2)");
}

TEST(KeyText, FreshExamKey) {
    EXPECT_EQ(answersText(freshRecord()),
              "Answer key of the mock midterm for ID 12345, group 1\n"
              "\n"
              "QUESTION 1: x(t)\n"
              "  x(t) = 3*t       for 0 <= t <= 1\n"
              "         -3*t + 6  for 1 <= t <= 2\n"
              "         -1        for 3 <= t <= 4\n"
              "         0         otherwise\n"
              "\n"
              "QUESTION 2: y(t) = x(2t+1)\n"
              "  y(t) = 6*t + 3   for -0.5 <= t <= 0\n"
              "         -6*t + 3  for 0 <= t <= 0.5\n"
              "         -1        for 1 <= t <= 1.5\n"
              "         0         otherwise\n"
              "\n"
              "QUESTION 3: y(t) with steps u(t) and ramps t*u(t)\n"
              "  z(t) = 6*(t+0.5)*u(t+0.5) - 12*t*u(t) + 6*(t-0.5)*u(t-0.5) - u(t-1) + u(t-1.5)\n"
              "\n"
              "QUESTION 4: r(t), the running integral of x(t)\n"
              "  r(t) = 0                   for t <= 0\n"
              "         1.5*t*t             for 0 <= t <= 1\n"
              "         -1.5*t*t + 6*t - 3  for 1 <= t <= 2\n"
              "         3                   for 2 <= t <= 3\n"
              "         -t + 6              for 3 <= t <= 4\n"
              "         2                   for t >= 4\n"
              "\n"
              "QUESTION 5 (BONUS): the area under -x(t) from t = 0.25 to 0.5\n"
              "  A = -(r(0.5) - r(0.25)) = -(0.375 - 0.09375) = -0.28125\n");
}

TEST(KeyText, TheBonusOnlyOnceItsWindowIsDrawn) {
    // The text exam never draws the window: its sign stays 0.
    ExamRecord record = freshRecord();
    record.varAmp = 0;
    record.varTstart = 0;
    record.varTend = 0;
    EXPECT_EQ(answersText(record).find("QUESTION 5"), std::string::npos);
    record = freshRecord();
    record.varAmp = 1;
    record.varTstart = 1.5;
    record.varTend = 1.75;
    EXPECT_NE(answersText(record).find("QUESTION 5 (BONUS): the area under x(t) from t = 1.5 to 1.75\n"
                                       "  A = (r(1.75) - r(1.5)) = (2.90625 - 2.625) = 0.28125\n"),
              std::string::npos);
}

TEST(KeyText, AJumpBetweenTwoPiecesLeavesItsTimeToOne) {
    // Up to 2 at t = 1, down to 1 at once, 1 until t = 2, then 0.
    const int t[] = {0, 1, 1, 2, 2};
    const int x[] = {0, 2, 1, 1, 0};
    AnswerKey key{};
    ASSERT_EQ(signalFromBreakpoints(t, x, 5, &key.x), 0);
    ASSERT_EQ(runningIntegral(key.x, &key.r), 0);
    ASSERT_EQ(scaleTime(key.x, 1, 0, &key.y), 0);
    ASSERT_EQ(stepTerms(key.y, &key.z), 0);
    key.scale = 1;
    const std::string text = printed(freshRecord(), key);
    EXPECT_NE(text.find("  x(t) = 2*t  for 0 <= t <= 1\n"
                        "         1    for 1 < t <= 2\n"
                        "         0    otherwise\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("z(t) = 2*t*u(t) - u(t-1) - 2*(t-1)*u(t-1) - u(t-2)\n"), std::string::npos)
        << text;
}
