// The POSIX command interpreter's time limit, and the math library it gives
// a linking tcc, with stand-in programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <cstdlib>

#include "platform/fence.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {
class TimeLimitTest : public testing::Test {
protected:
    void SetUp() override {
        const char* oldPath = std::getenv("PATH");
        savedPath_ = oldPath != nullptr ? oldPath : "";
        setenv("PATH", (folder_.path() + ":" + savedPath_).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    void program(const std::string& name, const std::string& body) {
        writeFile(name, "#!/bin/sh\n" + body + "\n");
        chmod(name.c_str(), 0755);
    }

    TempFolder folder_;
    std::string savedPath_;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

TEST_F(TimeLimitTest, AProgramThatNeverEndsIsStoppedAtTheLimit) {
    program("forever", "exec sleep 30");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(runCommandWithTimeLimit(".\\forever", 1).timedOut);
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 10);
}

TEST_F(TimeLimitTest, StatusesComeBackAsRunCommandGivesThem) {
    program("fails", "exit 3");
    program("crashes", "kill -FPE $$");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runCommandWithTimeLimit(".\\fails", 5).exitStatus, 3);
    EXPECT_EQ(runCommandWithTimeLimit("fails.exe", 5).exitStatus, 3) << "found on PATH as runCommand finds it";
    const RunResult crashed = runCommandWithTimeLimit(".\\crashes", 5);
    EXPECT_EQ(crashed.endSignal, SIGFPE);
    EXPECT_EQ(crashed.exitStatus, 0);
    EXPECT_LT(secondsSince(start), 4) << "a quick program is not kept waiting for the limit";
    testing::internal::CaptureStderr();
    EXPECT_EQ(runCommandWithTimeLimit("missing.exe", 5).start, RunStart::notFound);
    testing::internal::GetCapturedStderr();
    program("slow", "sleep 1; exit 4");
    EXPECT_EQ(runCommandWithTimeLimit(".\\slow", 0).exitStatus, 4) << "0: no limit";
    writeFile("noexec", "#!/bin/sh\nexit 0\n");  // refused as a noexec drive refuses it
    EXPECT_EQ(runCommandWithTimeLimit(".\\noexec", 5).start, RunStart::notStartable);
    // There and executable, but no program the system can load: not missing.
    writeFile("garbage", std::string("\x7f" "ELF garbage", 12));
    chmod("garbage", 0755);
    testing::internal::CaptureStderr();
    EXPECT_EQ(runCommandWithTimeLimit(".\\garbage", 5).start, RunStart::notStartable);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "./garbage: cannot be started\n");
}

TEST_F(TimeLimitTest, ALinkingTccGetsTheMathLibrary) {
    program("tcc", "echo \"$*\" >> tcc.log");
    EXPECT_TRUE(ranAndSucceeded(runCommandWithTimeLimit("tcc.exe -o a.exe a.c signals.c", 0)));
    EXPECT_TRUE(ranAndSucceeded(runCommandWithTimeLimit("tcc.exe -c signals.c", 0)));
    EXPECT_TRUE(ranAndSucceeded(runCommandWithTimeLimit("tcc.exe -o b.exe b.c", 5)));
    EXPECT_EQ(readFile("tcc.log"), "-o a.exe a.c signals.c -lm\n-c signals.c\n-o b.exe b.c -lm\n");
}

// What keeps an isolated program from outliving its caller or being stopped
// by the terminal: its own group, a CPU limit a second over the time limit,
// SIGTTOU ignored (so `stty tostop` lets its writes through), no input.
TEST_F(TimeLimitTest, AnIsolatedProgramRunsWithinLimitsOfItsOwn) {
    program("limits", "{ ulimit -t; grep SigIgn /proc/$$/status; cut -d' ' -f1,5 /proc/$$/stat; "
                      "cat; } > limits.log");
    ASSERT_TRUE(ranAndSucceeded(runCommandWithTimeLimit(".\\limits", 3)));
    const std::string seen = readFile("limits.log");
    EXPECT_TRUE(seen.starts_with("4\nSigIgn:")) << seen;
    const unsigned long long ignored = std::stoull(seen.substr(seen.find(':') + 1, 18), nullptr, 16);
    EXPECT_NE(ignored & (1ULL << (SIGTTOU - 1)), 0U) << seen;
    const std::size_t ids = seen.find('\n', seen.find(':')) + 1;
    const std::string pid = seen.substr(ids, seen.find(' ', ids) - ids);
    EXPECT_EQ(seen.substr(ids), pid + " " + pid + "\n") << "a group of its own, and no input";
}

// A fenced program runs in its folder, writes only there, and its output goes
// where its line says: the repairs' candidates print nothing.
TEST_F(TimeLimitTest, AFencedRunWritesOnlyInItsFolderAndWhereItsLineSays) {
    if (std::system("command -v tcc >/dev/null") != 0) {
        GTEST_SKIP() << "needs tcc";
    }
    std::filesystem::create_directory("run");
    writeFile("run/say.c", "#include <stdio.h>\nint main(void) { puts(\"out\"); fputs(\"err\\n\", stderr);\n"
                           "  FILE *here = fopen(\"made.txt\", \"w\"), *above = fopen(\"../made.txt\", \"w\");\n"
                           "  return here != 0 && above == 0 ? 0 : 1; }\n");
    ASSERT_EQ(std::system("tcc -o run/say run/say.c"), 0);
    const std::string folder = folder_.path() + "/run";
    const bool landlock = (fenceGaps() & fenceLacksFileLimits) == 0;
    for (const char* quiet : {"", " >NUL", " 2>NUL", " >NUL 2>NUL"}) {
        SCOPED_TRACE(quiet);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = runFenced((std::string(".\\say") + quiet).c_str(), folder.c_str(), 5).exitStatus;
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, landlock ? 0 : 1);
        EXPECT_EQ(out, std::string(quiet).find(" >NUL") == std::string::npos ? "out\n" : "");
        EXPECT_EQ(err, std::string(quiet).find("2>NUL") == std::string::npos ? "err\n" : "");
    }
    EXPECT_TRUE(fileExists("run/made.txt"));
    EXPECT_EQ(fileExists("made.txt"), !((fenceGaps() & fenceLacksFileLimits) == 0));
}
