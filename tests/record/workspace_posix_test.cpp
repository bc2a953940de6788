// Workspace failures that need POSIX to provoke.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "record/workspace.h"
#include "test_support.h"

TEST(WorkspacePosix, ProbeRefusesADanglingLink) {
    TempFolder folder;
    std::filesystem::create_symlink("missing-target", "exam.dat");
    testing::internal::CaptureStderr();
    EXPECT_EQ(probeWorkspace(), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::filesystem::is_symlink("exam.dat"));
    EXPECT_FALSE(fileExists("missing-target"));
}

TEST(WorkspacePosix, SaveNeverWritesThroughALinkAtTheTempName) {
    TempFolder folder;
    writeFile("signals.c", "double x(double t) { return t; }\n");
    std::filesystem::create_symlink("signals.c", "exam.dat.tmp");
    ASSERT_EQ(saveWorkspace(patternedRecord()), 0);
    EXPECT_EQ(readFile("signals.c"), "double x(double t) { return t; }\n");
    EXPECT_FALSE(std::filesystem::is_symlink("exam.dat"));
    EXPECT_EQ(readFile("exam.dat"), bytesOf(patternedRecord()));
}

TEST(WorkspacePosix, ShortWriteKeepsTheOldWorkspace) {
    // A file size limit makes the write come up short, as a full disk would.
    TempFolder folder;
    const std::string old = [] {
        ExamRecord record = patternedRecord();
        record.state = MakeQuestion2;
        return bytesOf(record);
    }();
    writeFile("exam.dat", old);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(saveWorkspace(patternedRecord()) == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
    EXPECT_EQ(readFile("exam.dat"), old);
    EXPECT_FALSE(fileExists("exam.dat.tmp"));
}
