// The POSIX command interpreter: what a line means, and stand-in programs
// that record how they were called.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"
#include "platform/posix.h"
#include "test_support.h"

namespace {
class CommandsTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories("exam");
        std::filesystem::create_directories("bin");
        const char* oldPath = std::getenv("PATH");
        savedPath_ = oldPath != nullptr ? oldPath : "";
        setenv("PATH", (folder_.path() + "/bin").c_str(), 1);
        std::filesystem::current_path("exam");
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    // A program that appends its name and arguments to calls.log.
    void standIn(const std::string& path, int status = 0) {
        writeFile(path, "#!/bin/sh\necho \"${0##*/} $*\" >> \"" + folder_.path() +
                            "/calls.log\"\nexit " + std::to_string(status) + "\n");
        chmod(path.c_str(), 0755);
    }
    std::string calls() { return readFile(folder_.path() + "/calls.log"); }

    TempFolder folder_;
    std::string savedPath_;
};
}  // namespace

TEST_F(CommandsTest, GnuplotComesFromTheCoursePathOrElseFromPath) {
    standIn("../bin/gnuplot");
    EXPECT_EQ(runCommandWithTimeLimit("..\\gnuplot\\bin\\gnuplot.exe q1.gp\n", 0).exitStatus, 0);
    EXPECT_EQ(calls(), "gnuplot q1.gp\n");

    std::filesystem::create_directories("../gnuplot/bin");
    standIn("../gnuplot/bin/gnuplot.exe", 4);
    EXPECT_EQ(runCommandWithTimeLimit("..\\gnuplot\\bin\\gnuplot.exe q1.gp\n", 0).exitStatus, 4);
    EXPECT_EQ(calls(), "gnuplot q1.gp\ngnuplot.exe q1.gp\n");
}

TEST_F(CommandsTest, CompilerStatusComesBack) {
    standIn("../bin/tcc", 1);
    EXPECT_EQ(runCommandWithTimeLimit("tcc.exe -c signals.c", 0).exitStatus, 1);
    EXPECT_EQ(calls(), "tcc -c signals.c\n");
    standIn("../bin/tcc", 0);
    EXPECT_EQ(runCommandWithTimeLimit("tcc.exe -c signals.c", 0).exitStatus, 0);
}

// What a line means here, worked out without running anything.
TEST(CommandLine, LinesBecomeTheWordsThePosixProgramsNeed) {
    const struct {
        const char* line;
        const char* program;  // as findProgram found it
        CommandWords arguments;
    } cases[] = {
        {"..\\gnuplot\\bin\\gnuplot.exe q1.gp\n", "../gnuplot/bin/gnuplot.exe",
         {"../gnuplot/bin/gnuplot.exe", "q1.gp"}},
        {" tcc.exe\t-c  signals.c\r\n", "/usr/bin/tcc", {"tcc.exe", "-c", "signals.c"}},
        {"tcc.exe -o a.exe a.c signals.c", "/usr/bin/tcc",
         {"tcc.exe", "-o", "a.exe", "a.c", "signals.c", "-lm"}},
        {"tcc -E signals.c", "/opt/tcc.exe", {"tcc", "-E", "signals.c"}},
        {"tcc -run a.c", "/usr/bin/tcc", {"tcc", "-run", "a.c"}},
        {"pdflatex create.tex -jobname=123 -quiet -silent", "/usr/bin/pdflatex",
         {"pdflatex", "-jobname=123", "-interaction=batchmode", "create.tex"}},
        {"mytcc a.c", "/usr/bin/mytcc", {"mytcc", "a.c"}},
        {"\"/home/ana/My Course/key\" --report-worker \"\" x", "/home/ana/My Course/key",
         {"/home/ana/My Course/key", "--report-worker", "", "x"}},
        {" \t\n", "", {}},
    };
    for (const auto& c : cases) {
        const CommandWords words = splitCommandLine(c.line);
        EXPECT_EQ(words.empty() ? words : programArguments(words, c.program), c.arguments) << c.line;
    }
}

TEST_F(CommandsTest, AMissingProgramIsNotFound) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(runCommandWithTimeLimit("tcc.exe -c signals.c", 0).start, RunStart::notFound);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tcc.exe: command not found\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(runCommandWithTimeLimit("..\\gnuplot\\bin\\gnuplot.exe q1.gp\n", 0).start, RunStart::notFound);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the caller names what is missing, once";
}

TEST_F(CommandsTest, LineIsNeverInterpretedByAShell) {
    standIn("../bin/tcc");
    EXPECT_EQ(runCommandWithTimeLimit("tcc.exe -c $(touch pwned);touch pwned2", 0).exitStatus, 0);
    EXPECT_FALSE(fileExists("pwned"));
    EXPECT_FALSE(fileExists("pwned2"));
    EXPECT_EQ(calls(), "tcc -c $(touch pwned);touch pwned2\n");
}

TEST_F(CommandsTest, DelRemovesExactlyTheBuildsByProducts) {
    for (const char* name : {"123.aux", "123.log", "q1.eps", "other.eps", "q1-eps-converted-to.pdf",
                             "123.pdf", "create.tex", "defs.tex", "q1.png", "signals.c", "exam.dat",
                             "notes.log.txt"}) {
        writeFile(name, "x");
    }
    std::filesystem::create_directory("folder.aux");
    EXPECT_EQ(runCommandWithTimeLimit("del *.aux *.log *.eps q1-eps-converted-to.pdf", 0).exitStatus, 0);
    for (const char* gone : {"123.aux", "123.log", "q1.eps", "other.eps", "q1-eps-converted-to.pdf"}) {
        EXPECT_FALSE(fileExists(gone)) << gone;
    }
    for (const char* kept : {"123.pdf", "create.tex", "defs.tex", "q1.png", "signals.c", "exam.dat",
                             "notes.log.txt", "folder.aux"}) {
        EXPECT_TRUE(fileExists(kept)) << kept;
    }
    EXPECT_EQ(runCommandWithTimeLimit("del *.aux", 0).exitStatus, 0) << "matching nothing is not an error";
}
