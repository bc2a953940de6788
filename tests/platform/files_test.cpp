// The file services the workspace save is built on, as every OS must give them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

TEST(PlatformFiles, StaleTempsAreTheSaveTempsOnly) {
    // Whatever name createTempBeside makes, removeStaleTemps must know it
    // for its own, and it must leave everything else alone.
    TempFolder folder;
    std::string first;
    std::string second;
    std::FILE* stream = createTempBeside("exam.dat", &first);
    ASSERT_NE(stream, nullptr);
    std::fclose(stream);
    stream = createTempBeside("exam.dat", &second);
    ASSERT_NE(stream, nullptr);
    std::fclose(stream);
    EXPECT_NE(first, second);
    EXPECT_EQ(readFile(first), "");
    writeFile("exam.dat.tmp-k3Q9zP", "torn");
    // A student's own copy has a name of six letters too.
    const std::vector<std::string> kept{"exam.dat",          "exam.dat.backup",      "exam.dat.tmp",
                                        "exam.dat.tmp-Ab-2Cd", "exam.dat.tmp-Ab12Cd7", "exam.dat.tmp-Qq12Ww",
                                        "xexam.dat.tmp-Ab12Cd"};
    for (const std::string& name : kept) {
        writeFile(name, "keep");
    }
    std::filesystem::remove("exam.dat.tmp-Qq12Ww");
    std::filesystem::create_directory("exam.dat.tmp-Qq12Ww");
    EXPECT_EQ(removeStaleTemps("exam.dat"), 3);
    EXPECT_EQ(namesHere(), kept);
}
