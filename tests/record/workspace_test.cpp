#include "record/workspace.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace {
std::string recordBytes(std::int32_t state, std::int32_t id) {
    ExamRecord record = patternedRecord();
    record.state = state;
    record.idNum = id;
    return bytesOf(record);
}
}  // namespace

TEST(Workspace, RoundTripKeepsEveryByte) {
    // IDs 10 and 26 hold a line end and an end-of-file byte: text-mode files
    // would change them.
    for (std::int32_t id : {10, 26, 123, 2147483647}) {
        TempFolder folder;
        const std::string bytes = recordBytes(Menu, id);
        ASSERT_EQ(saveWorkspace(recordFromBytes(bytes)), 0);
        EXPECT_EQ(readFile("exam.dat"), bytes);
        ASSERT_EQ(probeWorkspace(), 1);
        ExamRecord loaded{};
        ASSERT_EQ(loadWorkspace(&loaded), 0);
        EXPECT_EQ(bytesOf(loaded), bytes) << "id " << id;
        EXPECT_FALSE(fileExists("exam.dat.tmp"));
    }
}

TEST(Workspace, LongerFileLoadsItsFirstRecordAndIsSavedBackWhole) {
    TempFolder folder;
    const std::string bytes = recordBytes(Menu, 77);
    writeFile("exam.dat", bytes + std::string(56, 'z'));
    ASSERT_EQ(probeWorkspace(), 1);
    ExamRecord loaded{};
    ASSERT_EQ(loadWorkspace(&loaded), 0);
    EXPECT_EQ(bytesOf(loaded), bytes);
    ASSERT_EQ(saveWorkspace(loaded), 0);
    EXPECT_EQ(readFile("exam.dat"), bytes);
}

TEST(Workspace, ShortFileFailsToLoadAndKeepsTheRestOfTheRecord) {
    TempFolder folder;
    const std::string stored = recordBytes(Menu, 5);
    const ExamRecord before{};

    writeFile("exam.dat", "");
    ExamRecord record = before;
    EXPECT_EQ(loadWorkspace(&record), -1);
    EXPECT_EQ(bytesOf(record), bytesOf(before));

    writeFile("exam.dat", stored.substr(0, 100));
    EXPECT_EQ(loadWorkspace(&record), -1);
    EXPECT_EQ(bytesOf(record), stored.substr(0, 100) + bytesOf(before).substr(100));
}

TEST(Workspace, ProbeCreatesAnEmptyFileOnlyWhenThereIsNone) {
    TempFolder folder;
    EXPECT_EQ(probeWorkspace(), 0);
    ASSERT_TRUE(fileExists("exam.dat"));
    EXPECT_EQ(readFile("exam.dat"), "");

    const std::string bytes = recordBytes(Menu, 9);
    writeFile("exam.dat", bytes);
    EXPECT_EQ(probeWorkspace(), 1);
    EXPECT_EQ(readFile("exam.dat"), bytes);
}

TEST(Workspace, ProbeRefusesAWorkspaceItCannotReadAndLeavesItAlone) {
    {
        TempFolder folder;
        std::filesystem::create_directory("exam.dat");
        testing::internal::CaptureStderr();
        EXPECT_EQ(probeWorkspace(), -1);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("exam.dat"), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_directory("exam.dat"));
    }
}

TEST(Workspace, FailedRenameKeepsNoTemporaryFile) {
    TempFolder folder;
    std::filesystem::create_directories("exam.dat/inside");
    EXPECT_EQ(saveWorkspace(patternedRecord()), -1);
    EXPECT_FALSE(fileExists("exam.dat.tmp"));
    EXPECT_TRUE(std::filesystem::is_directory("exam.dat/inside"));
}

TEST(Workspace, TemporaryFileThatCannotBeCreatedKeepsTheOldWorkspace) {
    TempFolder folder;
    const std::string old = recordBytes(MakeQuestion2, 44);
    writeFile("exam.dat", old);
    std::filesystem::create_directory("exam.dat.tmp");
    EXPECT_EQ(saveWorkspace(patternedRecord()), -1);
    EXPECT_EQ(readFile("exam.dat"), old);
}
