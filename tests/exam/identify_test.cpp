#include "exam/identify.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {
struct LineCase {
    const char* input;
    int result;
    long value;
};

int countOf(const std::string& text, const std::string& piece) {
    int count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}
}  // namespace

TEST(NumberLine, ReadsOneNumberAndDiscardsTheRestOfItsLine) {
    const LineCase cases[] = {
        {"123\n", 0, 123},
        {"  \n\n\t 42 and more words\nnext", 0, 42},
        {"+7\n", 0, 7},
        {"-5\n", 0, -5},
        {"2147483647\n", 0, 2147483647L},
        {"-2147483648\n", 0, -2147483647L - 1},
        {"2147483648\n", -1, 0},
        {"99999999999999999999999999999\n", -1, 0},
        {"abc\n", -1, 0},
        {"- 5\n", -1, 0},
        {"12\0" "34\n", 0, 12},
        {"", -2, 0},
        {"   \n  ", -2, 0},
        {"77", 0, 77},  // no line end before the end of input
    };
    for (const LineCase& c : cases) {
        resetScript();
        script().input = c.input;
        long value = 0;
        EXPECT_EQ(readNumberLine(scriptedServices(), &value), c.result) << c.input;
        if (c.result == 0) {
            EXPECT_EQ(value, c.value) << c.input;
        }
    }
}

TEST(NumberLine, BadInputIsNeverReadTwice) {
    resetScript();
    script().input = std::string("x\0y\n", 4) + "55\n";
    long value = 0;
    EXPECT_EQ(readNumberLine(scriptedServices(), &value), -1);
    EXPECT_EQ(readNumberLine(scriptedServices(), &value), 0);
    EXPECT_EQ(value, 55);
    EXPECT_EQ(readNumberLine(scriptedServices(), &value), -2);
}

TEST(Identification, InvalidIdsAreCountedUntilAValidOne) {
    resetScript();
    script().input = "-5\n0\nabc\n123\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(readIdNumber(scriptedServices()), 123);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, "Invalid ID Number!\n"), 3);
    EXPECT_EQ(countOf(out, "Enter your ID number: "), 4);
}

TEST(Identification, TenInvalidIdsGiveUp) {
    resetScript();
    script().input = "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n123\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(readIdNumber(scriptedServices()), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, "Invalid ID Number!\n"), 10);
    EXPECT_NE(out.find("Invalid ID Number!\nYou have exceeded the max allowable tries. Contact your professor\n"),
              std::string::npos);
}

TEST(Identification, GroupTwoAndOutOfRangeGroupsAreAskedAgain) {
    resetScript();
    script().input = "2\n5\n0\n3\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(readGroup(scriptedServices()), 3);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, "Invalid group!\n"), 3);
    EXPECT_EQ(countOf(out, "To which group do you belong? "), 4);

    for (const char* input : {"", "4x\n2\n"}) {
        resetScript();
        script().input = input;
        testing::internal::CaptureStdout();
        const int group = readGroup(scriptedServices());
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(group, *input == '\0' ? -1 : 4) << input;
    }
}

TEST(Identification, NewStudentSeedsTheSourceAndChoosesQuestion1) {
    resetScript();
    script().input = "123\n3\n";
    ExamRecord record{};
    ExamState next = Identify;
    testing::internal::CaptureStdout();
    EXPECT_EQ(identifyStudent(&record, &next, scriptedServices()), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(record.idNum, 123);
    EXPECT_EQ(record.grpNum, 3);
    EXPECT_EQ(next, MakeQuestion1);
    EXPECT_EQ(script().seeds, std::vector<std::uint32_t>{1});
}

TEST(Identification, EndOfInputAtAnyPromptGivesUp) {
    for (const char* input : {"", "0\n0\n", "123\n"}) {
        resetScript();
        script().input = input;
        ExamRecord record{};
        ExamState next = Identify;
        testing::internal::CaptureStdout();
        EXPECT_EQ(identifyStudent(&record, &next, scriptedServices()), -1) << input;
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(out.ends_with("Ending exam abruptly! Goodbye.\n")) << out;
        EXPECT_EQ(next, Identify);
    }
}

TEST(Identification, StoredIdIsConfirmedWithoutAskingAgain) {
    struct Case {
        const char* keys;
        ExamState next;
        const char* output;
    };
    const Case cases[] = {
        {"y", MakeQuestion1, "Is this your ID num (y/n) 123"},
        {"Y", MakeQuestion1, "Is this your ID num (y/n) 123"},
        {"n", Exiting, "Is this your ID num (y/n) 123Something went wrong!"},
        {"N", Exiting, "Is this your ID num (y/n) 123Something went wrong!"},
        {"x", Identify, "Is this your ID num (y/n) 123"},
    };
    for (const Case& c : cases) {
        resetScript();
        script().input = c.keys;
        ExamRecord record{};
        record.idNum = 123;
        record.grpNum = 4;
        ExamState next = Identify;
        testing::internal::CaptureStdout();
        EXPECT_EQ(identifyStudent(&record, &next, scriptedServices()), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_EQ(next, c.next) << c.keys;
        EXPECT_EQ(record.grpNum, 4);
        EXPECT_TRUE(script().seeds.empty()) << "a confirmed ID must not seed again";
    }
}
