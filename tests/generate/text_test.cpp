#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "generate/mock_midterm.h"
#include "generate/pdf.h"
#include "generate/text_file.h"
#include "test_support.h"

namespace {
ExamRecord textRecord() {
    ExamRecord record{};
    record.idNum = 123;
    record.grpNum = 3;
    record.varQK = 2;
    record.varQT = -1;
    return record;
}
}  // namespace

TEST(MockMidterm, NamesTheStudentAndTheTransform) {
    TempFolder folder;
    ASSERT_EQ(writeMockMidterm(textRecord()), 0);
    const std::string text = readTextFile("MOCK_MIDTERM.txt");
    EXPECT_TRUE(text.starts_with("Mock Midterm Exam\nID Number: 123\nGroup No.: 3\n\nQUESTION 1:\n"));
    EXPECT_NE(text.find("\n\n\ty(t) = x(2t-1)\n\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n\n\n\tdouble r(double t)\n\nfound in signals.c."));

    ExamRecord positive = textRecord();
    positive.varQT = 1;
    writeMockMidterm(positive);
    const std::string rewritten = readTextFile("MOCK_MIDTERM.txt");
    EXPECT_NE(rewritten.find("\ty(t) = x(2t+1)\n"), std::string::npos);
    EXPECT_EQ(rewritten.size(), text.size()) << "a second run must replace the text, not add to it";
}

TEST(MockMidterm, AnUnwritableFileIsReported) {
    TempFolder folder;
    std::filesystem::create_directory("MOCK_MIDTERM.txt");
    testing::internal::CaptureStderr();
    EXPECT_EQ(writeMockMidterm(textRecord()), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write MOCK_MIDTERM.txt"),
              std::string::npos);
}

// Every step of the write can fail; the old text then stays whole, no temp
// is left, and the failure is said once.
TEST(TextFile, AFailedWriteKeepsTheOldTextAndIsReported) {
    const struct {
        const char* step;
        void (*breakStep)(FileOps*);
    } cases[] = {
        {"write", [](FileOps* f) {
             f->write = [](std::FILE*, const void*, std::size_t) { errno = EIO; return -1; };
         }},
        {"sync", [](FileOps* f) { f->sync = [](std::FILE*) { errno = EIO; return -1; }; }},
        {"close", [](FileOps* f) {
             f->close = [](std::FILE* file) { std::fclose(file); errno = EIO; return -1; };
         }},
        {"rename", [](FileOps* f) {
             f->rename = [](const char*, const char*) { errno = EIO; return -1; };
         }},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        writeFile("defs.tex", "old\n");
        FileOps files = platformFileOps();
        c.breakStep(&files);
        testing::internal::CaptureStderr();
        EXPECT_EQ(writeTextFile("defs.tex", "new\n", examWriter, files), -1) << c.step;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "\nmock-midterm: cannot write defs.tex: " + std::string(std::strerror(EIO)) + "\n")
            << c.step;
        EXPECT_EQ(readFile("defs.tex"), "old\n") << c.step;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                                std::filesystem::directory_iterator()), 1) << c.step;
    }
}

// Past stdio's buffer a full disk fails the write itself; fclose then
// returns 0 (glibc), and only the stream's error says the file is cut off.
TEST(TextFile, AWriteThatFailedBeforeTheCloseIsReported) {
    std::FILE* full = openTextFile("/dev/full", nullptr);
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full here";
    }
    std::fputs(std::string(5000, '0').c_str(), full);
    EXPECT_EQ(closeTextFile(full, "/dev/full", nullptr), -1);
}

TEST(LatexDefinitions, CarryTheRecordIntoSevenMacros) {
    struct Case {
        std::int32_t shift;
        double start;
        std::int32_t amp;
        const char* expected;
    };
    const Case cases[] = {
        {-2, 0.25, -1,
         "\\newcommand\\idNum{123}\n\\newcommand\\grpNum{1}\n\\newcommand\\varQT{-2}\n"
         "\\newcommand\\varQK{2}\n\\newcommand\\varTstart{0.25}\n\\newcommand\\varTend{0.5}\n"
         "\\newcommand\\varAmp{-}\n"},
        {1, 0, 1,
         "\\newcommand\\idNum{123}\n\\newcommand\\grpNum{1}\n\\newcommand\\varQT{1}\n"
         "\\newcommand\\varQK{2}\n\\newcommand\\varTstart{0}\n\\newcommand\\varTend{0.25}\n"
         "\\newcommand\\varAmp{ }\n"},
        {2, 0.75, 0,
         "\\newcommand\\idNum{123}\n\\newcommand\\grpNum{1}\n\\newcommand\\varQT{2}\n"
         "\\newcommand\\varQK{2}\n\\newcommand\\varTstart{0.75}\n\\newcommand\\varTend{1}\n"
         "\\newcommand\\varAmp{-}\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        ExamRecord record{};
        record.idNum = 123;
        record.grpNum = 1;
        record.varQT = c.shift;
        record.varQK = 2;
        record.varTstart = c.start;
        record.varTend = c.start + 0.25;
        record.varAmp = c.amp;
        ASSERT_EQ(writeDefs(record), 0);
        EXPECT_EQ(readTextFile("defs.tex"), c.expected);
    }
}
