// A variant whose writes fail part way: the exam stays as it was, and an
// attempt is either kept whole or not at all. A variant without gnuplot
// says so once.
#include "key/variants/variant.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "generate/exam_rules.h"
#include "generate/questions.h"
#include "key/key_test_support.h"
#include "test_support.h"

namespace {
// The real file operations, but the one named `failingOperation` fails with
// EIO, doing nothing, when its path is `failingPath` (a close still closes).
std::string failingOperation;
std::string failingPath;

bool fails(const char* operation, const char* path) {
    if (failingOperation != operation || failingPath != path) {
        return false;
    }
    errno = EIO;
    return true;
}

const FileOps& failingFileOps() {
    static const FileOps files{
        [](const char* target, std::string* tempPath) -> std::FILE* {
            return fails("createTemp", target) ? nullptr : platformFileOps().createTemp(target, tempPath);
        },
        platformFileOps().write,
        platformFileOps().sync,
        platformFileOps().close,
        [](const char* source, const char* target) {
            return fails("rename", target) ? -1 : platformFileOps().rename(source, target);
        },
        platformFileOps().remove,
        platformFileOps().syncFolder,
    };
    return files;
}

}  // namespace

TEST(VariantSave, AFailingWriteKeepsTheExamAndNoPartOfAnAttempt) {
    const struct {
        const char* operation;
        const char* path;
        const char* message;
        std::vector<std::string> attempts;  // what attempts/ holds afterwards
    } cases[] = {
        {"createTemp", "attempts/.keeping-1/signals.c", "cannot keep your attempt: signals.c: ", {}},
        {"rename", "attempts/1", "cannot keep your attempt in attempts/1: ", {}},
        {"createTemp", "attempts/README.txt", "cannot write attempts/README.txt: ", {"1"}},
        {"createTemp", "exam.dat", "cannot save exam.dat: ", {"1", "README.txt"}},
        {"rename", "exam.dat", "cannot save exam.dat: ", {"1", "README.txt"}},
    };
    const std::string exam = bytesOf(freshRecord());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " " + c.path);
        TempFolder folder;
        writeFile("exam.dat", exam);
        writeFile("signals.c", "/* answers */\n");
        writeFile("q1plot.dat", question1PlotData(freshRecord()));
        failingOperation = c.operation;
        failingPath = c.path;
        resetScript();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = startVariant(7, scriptedServices(), failingFileOps());
        testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 1);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(readFile("exam.dat"), exam);
        EXPECT_EQ(readFile("q1plot.dat"), question1PlotData(freshRecord()));
        EXPECT_EQ(namesHere("attempts"), c.attempts);
        EXPECT_EQ(namesHere(), (std::vector<std::string>{"attempts", "exam.dat", "q1plot.dat", "signals.c"}));
    }
    failingOperation.clear();
}

TEST(VariantPlot, AGnuplotThatIsNotThereIsSaidOnce) {
    TempFolder folder;
    writeFile("exam.dat", bytesOf(freshRecord()));
    writeFile("signals.c", "/* answers */\n");
    resetScript();
    script().commandStatus = notStarted(RunStart::notFound);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(startVariant(7, scriptedServices(), platformFileOps()), 0);
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("q1.png was not drawn"), err.rfind("q1.png was not drawn")) << err;
    EXPECT_NE(err.find(gnuplotMissingLine("q1.png")), std::string::npos) << err;
}
