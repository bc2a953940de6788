// The file services the workspace save is built on, as every OS must give them.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "test_support.h"

TEST(PlatformFiles, CreateIfAbsentNeverTouchesWhatExists) {
    TempFolder folder;
    EXPECT_EQ(createFileIfAbsent("fresh"), 0);
    EXPECT_TRUE(fileExists("fresh"));
    EXPECT_EQ(readFile("fresh"), "");

    writeFile("taken", "keep me");
    EXPECT_EQ(createFileIfAbsent("taken"), 1);
    EXPECT_EQ(readFile("taken"), "keep me");

    std::filesystem::create_directory("folder");
    EXPECT_EQ(createFileIfAbsent("folder"), 1);
    EXPECT_TRUE(std::filesystem::is_directory("folder"));

    EXPECT_EQ(createFileIfAbsent("missing-folder/file"), -1);
}

TEST(PlatformFiles, ReplaceOverwritesAnExistingTargetInOneStep) {
    TempFolder folder;
    writeFile("target", "old contents, longer than the new");
    writeFile("source", "new");
    ASSERT_EQ(replaceFile("source", "target"), 0);
    EXPECT_EQ(readFile("target"), "new");
    EXPECT_FALSE(fileExists("source"));

    writeFile("source", "first");
    ASSERT_EQ(replaceFile("source", "absent-target"), 0);
    EXPECT_EQ(readFile("absent-target"), "first");
}

TEST(PlatformFiles, FailedReplaceLeavesBothNamesAsTheyWere) {
    TempFolder folder;
    writeFile("target", "old");
    EXPECT_EQ(replaceFile("no-such-source", "target"), -1);
    EXPECT_EQ(readFile("target"), "old");

    std::filesystem::create_directories("busy/inside");
    writeFile("source", "new");
    EXPECT_EQ(replaceFile("source", "busy"), -1);
    EXPECT_EQ(readFile("source"), "new");
    EXPECT_TRUE(std::filesystem::is_directory("busy/inside"));
}
