// The answer key against values worked out by hand from the exam's plots.
#include "key/model/answer_key.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "generate/questions.h"
#include "key/key_test_support.h"
#include "test_support.h"

namespace {
// A value of a signal at t: from the left and from the right; they differ at
// a jump only.
struct Sample {
    double t;
    double left;
    double right;
};

void expectSamples(const Signal& signal, const std::vector<Sample>& samples, const char* name) {
    for (const Sample& s : samples) {
        EXPECT_DOUBLE_EQ(leftValue(signal, s.t), s.left) << name << " just before t = " << s.t;
        EXPECT_DOUBLE_EQ(rightValue(signal, s.t), s.right) << name << " just after t = " << s.t;
    }
}

struct Case {
    const char* name;
    ExamRecord record;
    std::vector<Sample> x;
    std::vector<Sample> y;
    std::vector<Sample> r;  // at every breakpoint of x, and between them
};

std::vector<Case> handWorkedCases() {
    return {
        {"fresh exam: s = 0, A = 3, p = 3, B = -1, y(t) = x(2t+1)",
         freshRecord(),
         {{-3, 0, 0}, {-2, 0, 0}, {0, 0, 0}, {0.5, 1.5, 1.5}, {1, 3, 3}, {1.5, 1.5, 1.5}, {2, 0, 0},
          {2.5, 0, 0}, {3, 0, -1}, {3.5, -1, -1}, {4, -1, 0}, {6, 0, 0}, {8, 0, 0}, {9, 0, 0}},
         {{-1.5, 0, 0}, {-0.5, 0, 0}, {-0.25, 1.5, 1.5}, {0, 3, 3}, {0.25, 1.5, 1.5}, {0.5, 0, 0},
          {0.75, 0, 0}, {1, 0, -1}, {1.25, -1, -1}, {1.5, -1, 0}, {2, 0, 0}, {3.5, 0, 0}},
         {{-5, 0, 0}, {-2, 0, 0}, {0, 0, 0}, {0.5, 0.375, 0.375}, {1, 1.5, 1.5},
          {1.5, 2.625, 2.625}, {2, 3, 3}, {2.5, 3, 3}, {3, 3, 3}, {3.5, 2.5, 2.5}, {4, 2, 2},
          {8, 2, 2}, {10, 2, 2}}},
        {"earliest triangle: s = -1, A = 2, p = 2, B = 1, y(t) = x(2t+2)",
         examRecord(-1, 2, 2, 1, 2),
         {{-2, 0, 0}, {-1, 0, 0}, {-0.5, 1, 1}, {0, 2, 2}, {0.5, 1, 1}, {1, 0, 0}, {1.5, 0, 0},
          {2, 0, 1}, {2.5, 1, 1}, {3, 1, 0}, {8, 0, 0}},
         {{-2, 0, 0}, {-1.5, 0, 0}, {-1.25, 1, 1}, {-1, 2, 2}, {-0.75, 1, 1}, {-0.5, 0, 0},
          {0, 0, 1}, {0.25, 1, 1}, {0.5, 1, 0}, {3, 0, 0}},
         {{-2, 0, 0}, {-1, 0, 0}, {-0.5, 0.25, 0.25}, {0, 1, 1}, {0.5, 1.75, 1.75}, {1, 2, 2},
          {2, 2, 2}, {2.5, 2.5, 2.5}, {3, 3, 3}, {8, 3, 3}, {10, 3, 3}}},
        // The latest: the pulse ends at t = 8, where the plot ends too.
        {"latest triangle: s = 3, A = 3, p = 7, B = -1, y(t) = x(2t-3)",
         examRecord(3, 3, 7, -1, -3),
         {{-2, 0, 0}, {3, 0, 0}, {3.5, 1.5, 1.5}, {4, 3, 3}, {4.5, 1.5, 1.5}, {5, 0, 0}, {6, 0, 0},
          {7, 0, -1}, {7.5, -1, -1}, {8, -1, 0}, {9, 0, 0}},
         {{0.5, 0, 0}, {3, 0, 0}, {3.25, 1.5, 1.5}, {3.5, 3, 3}, {3.75, 1.5, 1.5}, {4, 0, 0},
          {4.5, 0, 0}, {5, 0, -1}, {5.25, -1, -1}, {5.5, -1, 0}, {6, 0, 0}},
         {{-2, 0, 0}, {3, 0, 0}, {3.5, 0.375, 0.375}, {4, 1.5, 1.5}, {4.5, 2.625, 2.625},
          {5, 3, 3}, {7, 3, 3}, {7.5, 2.5, 2.5}, {8, 2, 2}, {10, 2, 2}}},
    };
}
}  // namespace

TEST(AnswerKey, SignalsMatchHandWorkedValuesIncludingBothSidesOfJumps) {
    for (const Case& c : handWorkedCases()) {
        SCOPED_TRACE(c.name);
        AnswerKey key{};
        ASSERT_EQ(makeAnswerKey(c.record, &key), 0);
        expectSamples(key.x, c.x, "x");
        expectSamples(key.y, c.y, "y");
        expectSamples(key.r, c.r, "r");
    }
}

TEST(AnswerKey, FreshExamIsTheOneTheExamDraws) {
    TempFolder folder;
    resetScript();  // the real random source, seeded as a new exam seeds it
    ExamRecord drawn = freshRecord();
    makeQuestion1(&drawn, scriptedServices());
    makeQuestion2(&drawn, scriptedServices());
    const ExamRecord fresh = freshRecord();
    for (int i = 0; i < q1PointCount; ++i) {
        EXPECT_EQ(drawn.q1T[i], fresh.q1T[i]) << i;
        EXPECT_EQ(drawn.q1X[i], fresh.q1X[i]) << i;
    }
    EXPECT_EQ(drawn.varQT, fresh.varQT);
    EXPECT_EQ(drawn.varQK, fresh.varQK);
}

TEST(AnswerKey, PiecesAreTheFewestAndFollowEachOther) {
    AnswerKey key{};
    ASSERT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    // x: 0 | rising | falling | 0 | pulse | 0. The zeros from -2 and up to 8
    // join the zeros around them; the jumps add no piece.
    const std::vector<double> xEnds = {0, 1, 2, 3, 4};
    ASSERT_EQ(key.x.pieces.size(), xEnds.size() + 1);
    // r: 0 | quadratic | quadratic | 3 | falling | 2.
    ASSERT_EQ(key.r.pieces.size(), 6u);
    for (const Signal* signal : {&key.x, &key.y, &key.r}) {
        EXPECT_EQ(signal->pieces.front().from, -INFINITY);
        EXPECT_EQ(signal->pieces.back().to, INFINITY);
        for (std::size_t i = 1; i < signal->pieces.size(); ++i) {
            EXPECT_EQ(signal->pieces[i].from, signal->pieces[i - 1].to);
        }
    }
    for (std::size_t i = 0; i < xEnds.size(); ++i) {
        EXPECT_EQ(key.x.pieces[i].to, xEnds[i]);
    }
    EXPECT_EQ(key.r.pieces[1].c2, 1.5) << "r = 1.5t^2 on the rising side";
    EXPECT_EQ(key.r.pieces[2].c2, -1.5);
}

TEST(AnswerKey, StepsAndRampsOfTheFreshExam) {
    AnswerKey key{};
    ASSERT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    // y(t) = 6(t+0.5)u(t+0.5) - 12t u(t) + 6(t-0.5)u(t-0.5) - u(t-1) + u(t-1.5)
    ASSERT_EQ(key.z.size(), 5u);
    const StepTerm expected[] = {{-0.5, 0, 6}, {0, 0, -12}, {0.5, 0, 6}, {1, -1, 0}, {1.5, 1, 0}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(key.z[i].at, expected[i].at) << i;
        EXPECT_EQ(key.z[i].step, expected[i].step) << i;
        EXPECT_EQ(key.z[i].ramp, expected[i].ramp) << i;
    }
}

TEST(AnswerKey, StepsRebuildYAndRGrowsByX) {
    for (const Case& c : handWorkedCases()) {
        SCOPED_TRACE(c.name);
        AnswerKey key{};
        ASSERT_EQ(makeAnswerKey(c.record, &key), 0);
        for (int i = -4 * 128; i <= 10 * 128; ++i) {
            const double t = i / 128.0;
            // u(0) = 1: the steps take the value after a jump.
            EXPECT_DOUBLE_EQ(stepSum(key.z, t), rightValue(key.y, t)) << "t = " << t;
            // r is continuous and its slope is x, wherever x has no corner.
            EXPECT_EQ(leftValue(key.r, t), rightValue(key.r, t)) << "t = " << t;
            const double h = 1.0 / 4096;
            if (leftValue(key.x, t - h) == rightValue(key.x, t - h) &&
                std::fabs(2 * rightValue(key.x, t) - rightValue(key.x, t - h) -
                          rightValue(key.x, t + h)) < 1e-12) {
                const double slope = (rightValue(key.r, t + h) - rightValue(key.r, t - h)) / (2 * h);
                EXPECT_NEAR(slope, rightValue(key.x, t), 1e-9) << "t = " << t;
            }
        }
    }
}

TEST(AnswerKey, ANegativeScaleMirrorsTime) {
    AnswerKey key{};
    ASSERT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    Signal mirrored;
    ASSERT_EQ(scaleTime(key.x, -2, 1, &mirrored), 0);  // x(1 - 2t)
    expectSamples(mirrored, {{0, 3, 3}, {0.25, 1.5, 1.5}, {-0.25, 1.5, 1.5}, {-1, -1, 0},
                             {-1.5, 0, -1}, {-1.25, -1, -1}, {1, 0, 0}},
                  "x(1-2t)");
    for (std::size_t i = 1; i < mirrored.pieces.size(); ++i) {
        EXPECT_LT(mirrored.pieces[i - 1].from, mirrored.pieces[i].from);
    }
    EXPECT_EQ(scaleTime(key.x, 0, 1, &mirrored), -1);
}

TEST(AnswerKey, NoKeyWithoutQuestionsOrFromADamagedRecord) {
    AnswerKey key{};
    for (ExamState state : {Restore, Identify, MakeQuestion1, MakeQuestion2}) {
        ExamRecord record = freshRecord();
        record.state = state;
        EXPECT_EQ(makeAnswerKey(record, &key), -1) << "state " << state;
    }
    for (ExamState state : {AwaitKey, MakeWindow, WriteText, BuildPdf, Menu, Exiting}) {
        ExamRecord record = freshRecord();
        record.state = state;
        EXPECT_EQ(makeAnswerKey(record, &key), 0) << "state " << state;
    }
    ExamRecord backwards = freshRecord();
    backwards.q1T[4] = 1;  // the pulse before the triangle's end
    EXPECT_EQ(makeAnswerKey(backwards, &key), -1);
    ExamRecord noScale = freshRecord();
    noScale.varQK = 0;
    EXPECT_EQ(makeAnswerKey(noScale, &key), -1);
    ExamRecord huge = freshRecord();
    huge.q1X[2] = INT_MIN;
    EXPECT_EQ(makeAnswerKey(huge, &key), -1);
    ExamRecord farShift = freshRecord();
    farShift.varQT = INT_MIN;
    EXPECT_EQ(makeAnswerKey(farShift, &key), -1);
}

