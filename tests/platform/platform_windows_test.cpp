// The Windows platform layer: input that is not a console, the command
// interpreter, text-mode files, and a workspace save that meets a file held
// open by another program. The console's key paths need a real console and are
// driven through a pseudo-terminal by the Windows CI script.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "generate/mock_midterm.h"
#include "generate/pdf.h"
#include "generate/questions.h"
#include "platform/platform.h"
#include "record/workspace.h"
#include "test_support.h"

namespace {
void writeAll(HANDLE pipe, const std::string& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

std::string withCrlf(const std::string& text) {
    std::string converted;
    for (char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

// Holds a file open as antivirus does: others may read it, not delete or
// replace it.
HANDLE holdOpen(const char* name) {
    return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD WINAPI closeAfterAMoment(void* handle) {
    Sleep(120);
    CloseHandle(static_cast<HANDLE>(handle));
    return 0;
}

std::string savedRecord(std::int32_t state) {
    ExamRecord record = patternedRecord();
    record.state = state;
    return bytesOf(record);
}

DWORD WINAPI lockFromAnotherThread(void* result) {
    // A mutex is owned by a thread: another thread stands for another copy.
    *static_cast<int*>(result) = lockExamFolder();
    return 0;
}
}  // namespace

// The whole life of one standard input, in order: the end of input cannot be
// undone, so it comes last.
TEST(WindowsInput, PipedInputGivesKeysAndLinesFromOneStreamThenEnds) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    const HANDLE original = GetStdHandle(STD_INPUT_HANDLE);
    ASSERT_TRUE(SetStdHandle(STD_INPUT_HANDLE, readEnd));

    EXPECT_EQ(keyWaiting(), 0) << "an empty pipe whose writer is still there";

    // A number line and the key after it arrive together: the key must come
    // from what the line left, not from a console that is not there.
    writeAll(writeEnd, "42\r\nE");
    EXPECT_EQ(readLineByte(), '4');
    EXPECT_EQ(readLineByte(), '2');
    EXPECT_EQ(readLineByte(), '\r');
    EXPECT_EQ(readLineByte(), '\n');
    EXPECT_EQ(keyWaiting(), 1);
    EXPECT_EQ(readKey(), 'E');
    EXPECT_EQ(keyWaiting(), 0);

    // Bytes are bytes here: neither Ctrl-Z nor 255 ends a pipe.
    writeAll(writeEnd, std::string("\x1a\xff", 2));
    EXPECT_EQ(keyWaiting(), 1);
    EXPECT_EQ(keyWaiting(), 1) << "looking must not consume";
    EXPECT_EQ(readKey(), 0x1A);
    EXPECT_EQ(readKey(), 0xFF);

    writeAll(writeEnd, "7");
    CloseHandle(writeEnd);
    EXPECT_EQ(readLineByte(), '7') << "what was written before the close is still read";
    EXPECT_EQ(keyWaiting(), -1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(readKey(), -1);
        EXPECT_EQ(readLineByte(), -1);
    }

    SetStdHandle(STD_INPUT_HANDLE, original);
    CloseHandle(readEnd);
}

TEST(WindowsCommands, LinesGoToTheCommandInterpreterAsTheyAre) {
    TempFolder folder;
    // The exam's own form: a path relative to the exam folder, backslashes,
    // a trailing line end.
    std::filesystem::create_directories("tools/bin");
    std::filesystem::create_directory("exam");
    writeFile("tools/bin/record.cmd", "@echo %1>arguments.txt\r\n@exit /b 4\r\n");
    std::filesystem::current_path("exam");
    EXPECT_EQ(runCommandWithTimeLimit("..\\tools\\bin\\record.cmd q1.gp\n", 0).exitStatus, 4);
    // Wine's interpreter keeps the line end in the last argument; Windows'
    // ends the line there. Either way the argument is the plot script.
    EXPECT_TRUE(readTextFile("arguments.txt").starts_with("q1.gp\n"));

    EXPECT_EQ(runCommandWithTimeLimit("exit 0", 0).exitStatus, 0);
    EXPECT_EQ(runCommandWithTimeLimit("exit 3", 0).exitStatus, 3);
    EXPECT_EQ(runCommandWithTimeLimit("no-such-program.exe -c signals.c", 0).start, RunStart::notFound);
}

TEST(WindowsCommands, DelRemovesTheBuildsByProductsOnly) {
    TempFolder folder;
    for (const char* name : {"123.aux", "123.log", "q1.eps", "q1-eps-converted-to.pdf", "123.pdf",
                             "create.tex", "q1plot.dat"}) {
        writeFile(name, "x");
    }
    runCommandWithTimeLimit("del *.aux *.log *.eps q1-eps-converted-to.pdf", 0);
    for (const char* gone : {"123.aux", "123.log", "q1.eps", "q1-eps-converted-to.pdf"}) {
        EXPECT_FALSE(fileExists(gone)) << gone;
    }
    for (const char* kept : {"123.pdf", "create.tex", "q1plot.dat"}) {
        EXPECT_TRUE(fileExists(kept)) << kept;
    }
}

TEST(WindowsFiles, TextFilesGetCrlfLineEnds) {
    TempFolder folder;
    ExamRecord record = patternedRecord();
    record.idNum = 10;
    record.grpNum = 3;
    record.varQT = -1;
    record.varQK = 2;
    record.varAmp = 1;
    ASSERT_EQ(writeMockMidterm(record), 0);
    ASSERT_EQ(writeDefs(record), 0);
    resetScript();
    script().draws = {1, 0, 0, 0, 1};
    ASSERT_EQ(makeQuestion1(&record, scriptedServices()), 0);
    for (const char* name : {"MOCK_MIDTERM.txt", "defs.tex", "q1plot.dat"}) {
        const std::string text = readTextFile(name);
        EXPECT_NE(text.find('\n'), std::string::npos) << name;
        EXPECT_EQ(text.find('\r'), std::string::npos) << name;
        EXPECT_EQ(readFile(name), withCrlf(text)) << name;
    }
}

TEST(WindowsFiles, ReplaceWaitsForAReaderThatLetsGo) {
    TempFolder folder;
    writeFile("target", "old");
    writeFile("source", "new");
    const HANDLE held = holdOpen("target");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const HANDLE closer = CreateThread(nullptr, 0, closeAfterAMoment, held, 0, nullptr);
    ASSERT_NE(closer, nullptr);
    EXPECT_EQ(replaceFile("source", "target"), 0);
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    EXPECT_EQ(readFile("target"), "new");
    EXPECT_FALSE(fileExists("source"));
}

TEST(WindowsFiles, ReplaceGivesUpOnAFileHeldForGood) {
    TempFolder folder;
    writeFile("target", "old");
    writeFile("source", "new");
    const HANDLE held = holdOpen("target");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(replaceFile("source", "target"), -1);
    const auto waited = std::chrono::steady_clock::now() - start;
    CloseHandle(held);
    EXPECT_EQ(errno, EACCES);
    EXPECT_GE(waited, std::chrono::milliseconds(500)) << "it should have tried again for a while";
    EXPECT_LT(waited, std::chrono::seconds(5)) << "but not for ever";
    EXPECT_EQ(readFile("target"), "old");
    EXPECT_EQ(readFile("source"), "new");
}

TEST(WindowsFiles, OneCopyAtATimeHoldsTheExamFolder) {
    TempFolder folder;
    ASSERT_EQ(lockExamFolder(), 0);
    int other = -9;
    const HANDLE thread = CreateThread(nullptr, 0, lockFromAnotherThread, &other, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(other, 1);
    TempFolder elsewhere;
    EXPECT_EQ(lockExamFolder(), 0) << "another folder is another exam";
    EXPECT_EQ(lockExamFolder(), 0) << "asked again, it holds it already";
    unlockExamFolder();
    const HANDLE next = CreateThread(nullptr, 0, lockFromAnotherThread, &other, 0, nullptr);
    ASSERT_NE(next, nullptr);
    WaitForSingleObject(next, INFINITE);
    CloseHandle(next);
    EXPECT_EQ(other, 0) << "once let go, the next copy takes it";
}

TEST(WindowsWorkspace, SaveOverAHeldWorkspaceKeepsItAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const std::string old = savedRecord(MakeQuestion2);
    writeFile("exam.dat", old);
    const HANDLE held = holdOpen("exam.dat");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(saveWorkspace(recordFromBytes(savedRecord(Menu))), -1);
    CloseHandle(held);
    EXPECT_EQ(readFile("exam.dat"), old);
    EXPECT_EQ(namesHere(), std::vector<std::string>{"exam.dat"});

    // Once it is let go, the next save goes through.
    EXPECT_EQ(saveWorkspace(recordFromBytes(savedRecord(Menu))), 0);
    EXPECT_EQ(readFile("exam.dat"), savedRecord(Menu));
}
