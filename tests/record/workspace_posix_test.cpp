// Workspace failures that need POSIX to provoke.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/platform.h"
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

TEST(WorkspacePosix, LoadNeverWaitsOnAPipe) {
    // A pipe put at exam.dat after the probe: an open that waited for a
    // writer would hang the exam, so the alarm ends a load that waits.
    TempFolder folder;
    ASSERT_EQ(mkfifo("exam.dat", 0600), 0);
    ExamRecord record{};
    alarm(10);
    EXPECT_EQ(loadWorkspace(&record), -1);
    alarm(0);
}

TEST(WorkspacePosix, SaveNeverOpensWhatIsAtTheOldTempName) {
    // Each of these, opened for writing, would take the record: a link or a
    // second name of the answers, or a named pipe (read here, so that a
    // save that opens it does not wait for ever).
    const std::string answers = "double x(double t) { return t; }\n";
    const struct {
        const char* kind;
        void (*make)();
    } cases[] = {
        {"link", [] { std::filesystem::create_symlink("signals.c", "exam.dat.tmp"); }},
        {"hard link", [] { std::filesystem::create_hard_link("signals.c", "exam.dat.tmp"); }},
        {"named pipe", [] { ASSERT_EQ(mkfifo("exam.dat.tmp", 0600), 0); }},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        writeFile("signals.c", answers);
        c.make();
        const auto kind = std::filesystem::symlink_status("exam.dat.tmp").type();
        const int reader = kind == std::filesystem::file_type::fifo
                               ? open("exam.dat.tmp", O_RDONLY | O_NONBLOCK)
                               : -1;
        ASSERT_EQ(saveWorkspace(patternedRecord()), 0) << c.kind;
        char byte = 0;
        EXPECT_LE(read(reader, &byte, 1), 0) << c.kind << ": the record went into it";
        close(reader);
        EXPECT_EQ(readFile("signals.c"), answers) << c.kind;
        EXPECT_EQ(std::filesystem::symlink_status("exam.dat.tmp").type(), kind) << c.kind;
        EXPECT_EQ(std::filesystem::symlink_status("exam.dat").type(), std::filesystem::file_type::regular);
        EXPECT_EQ(readFile("exam.dat"), bytesOf(patternedRecord())) << c.kind;
        EXPECT_EQ(namesHere(), (std::vector<std::string>{"exam.dat", "exam.dat.tmp", "signals.c"}));
    }
}

TEST(WorkspacePosix, SaveKeepsThePermissionsOfTheWorkspace) {
    const mode_t mask = umask(022);
    for (const mode_t mode : {0444, 0640, 0600}) {
        TempFolder folder;
        writeFile("exam.dat", "");
        ASSERT_EQ(chmod("exam.dat", mode), 0);
        ASSERT_EQ(saveWorkspace(patternedRecord()), 0);
        struct stat saved {};
        ASSERT_EQ(stat("exam.dat", &saved), 0);
        EXPECT_EQ(saved.st_mode & 07777, mode);
        EXPECT_EQ(readFile("exam.dat"), bytesOf(patternedRecord()));
    }
    TempFolder folder;  // none yet: as any new file
    ASSERT_EQ(saveWorkspace(patternedRecord()), 0);
    struct stat saved {};
    ASSERT_EQ(stat("exam.dat", &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0644u);
    umask(mask);
}

// As root a rename replaces anything: a gradebook written to "/dev/null"
// must leave the null device as it is. Here a null device of our own.
TEST(WorkspacePosix, ADeviceIsNeverReplaced) {
    TempFolder folder;
    if (mknod("null", S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "making a device needs root";
    }
    EXPECT_EQ(replaceFileWith("null", "grades", 6, platformFileOps()), -1);
    EXPECT_EQ(errno, EPERM);
    struct stat kept {};
    ASSERT_EQ(lstat("null", &kept), 0);
    EXPECT_TRUE(S_ISCHR(kept.st_mode));
    EXPECT_EQ(namesHere(), std::vector<std::string>{"null"}) << "no temp left beside it";
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
    EXPECT_EQ(namesHere(), std::vector<std::string>{"exam.dat"});
}

TEST(WorkspacePosix, TheFolderLockIsHeldUntilLetGo) {
    TempFolder folder;
    ASSERT_EQ(lockExamFolder(), 0);
    ASSERT_EQ(lockExamFolder(), 0) << "asked again, it holds it already";
    const int other = open(".", O_RDONLY | O_DIRECTORY);  // as another copy opens it
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "another copy is kept out";
    unlockExamFolder();
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "and comes in once it is let go";
    close(other);
}
