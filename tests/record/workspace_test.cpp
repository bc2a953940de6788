#include "record/workspace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "test_support.h"

namespace {
// The real file operations, each logged, and the one named `failing` made
// to fail with EIO after doing nothing (a close still closes).
std::vector<std::string> fileLog;
std::string failing;

bool fails(const char* operation) {
    fileLog.emplace_back(operation);
    if (failing != operation) {
        return false;
    }
    errno = EIO;
    return true;
}

const FileOps& loggedFileOps() {
    static const FileOps files{
        [](const char* target, std::string* tempPath) -> std::FILE* {
            return fails("createTemp") ? nullptr : platformFileOps().createTemp(target, tempPath);
        },
        [](std::FILE* file, const void* bytes, std::size_t size) {
            return fails("write") ? -1 : platformFileOps().write(file, bytes, size);
        },
        [](std::FILE* file) { return fails("sync") ? -1 : platformFileOps().sync(file); },
        [](std::FILE* file) {
            const int closed = platformFileOps().close(file);
            return fails("close") ? -1 : closed;
        },
        [](const char* source, const char* target) {
            return fails("rename") ? -1 : platformFileOps().rename(source, target);
        },
        [](const char* path) { return fails("remove") ? -1 : platformFileOps().remove(path); },
        [](const char* path) { return fails("syncFolder") ? -1 : platformFileOps().syncFolder(path); },
    };
    return files;
}

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
        EXPECT_EQ(namesHere(), std::vector<std::string>{"exam.dat"});
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
    EXPECT_EQ(namesHere(), std::vector<std::string>{"exam.dat"});
    EXPECT_TRUE(std::filesystem::is_directory("exam.dat/inside"));
}

TEST(Workspace, SaveSyncsTheTempBeforeTheRenameAndTheFolderAfterIt) {
    TempFolder folder;
    fileLog.clear();
    failing.clear();
    ASSERT_EQ(saveWorkspaceWith(patternedRecord(), loggedFileOps()), 0);
    const std::vector<std::string> order{"createTemp", "write", "sync", "close", "rename", "syncFolder"};
    EXPECT_EQ(fileLog, order);
    EXPECT_EQ(readFile("exam.dat"), bytesOf(patternedRecord()));
}

TEST(Workspace, AnyFailingFileOperationKeepsTheOldWorkspace) {
    const std::string old = recordBytes(MakeQuestion2, 44);
    const struct {
        const char* operation;
        std::vector<std::string> order;
    } cases[] = {
        {"createTemp", {"createTemp"}},
        {"write", {"createTemp", "write", "close", "remove"}},
        {"sync", {"createTemp", "write", "sync", "close", "remove"}},
        {"close", {"createTemp", "write", "sync", "close", "remove"}},
        {"rename", {"createTemp", "write", "sync", "close", "rename", "remove"}},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        writeFile("exam.dat", old);
        fileLog.clear();
        failing = c.operation;
        errno = 0;
        EXPECT_EQ(saveWorkspaceWith(patternedRecord(), loggedFileOps()), -1) << c.operation;
        EXPECT_EQ(errno, EIO) << c.operation;
        EXPECT_EQ(fileLog, c.order) << c.operation;
        EXPECT_EQ(readFile("exam.dat"), old) << c.operation;
        EXPECT_EQ(namesHere(), std::vector<std::string>{"exam.dat"}) << c.operation;
    }
    failing.clear();
}
