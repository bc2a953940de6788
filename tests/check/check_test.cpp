#include "check/check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

TEST(SourceCheck, MissingFileIsReportedWithoutCompiling) {
    TempFolder folder;
    testing::internal::CaptureStdout();
    EXPECT_EQ(checkSignals("signals.c", scriptedServices()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error opening file: signals.c");
    EXPECT_TRUE(script().commands.empty());
}

TEST(SourceCheck, AFolderIsReportedWithoutCompiling) {
    // POSIX opens a folder for reading; the compiler then accepts it as empty.
    TempFolder folder;
    std::filesystem::create_directory("signals.c");
    testing::internal::CaptureStdout();
    EXPECT_EQ(checkSignals("signals.c", scriptedServices()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error opening file: signals.c");
    EXPECT_TRUE(script().commands.empty());
}

TEST(SourceCheck, AByteOrderMarkIsExplainedWithoutCompiling) {
    // tcc reads the mark as a stray token and blames the first line's name.
    TempFolder folder;
    writeFile("signals.c", "\xEF\xBB\xBF" "double u(double t) { return t >= 0; }\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(checkSignals("signals.c", scriptedServices()), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("signals.c starts with a UTF-8 byte-order mark", 0), 0u) << out;
    EXPECT_NE(out.find("\"UTF-8 with BOM\""), std::string::npos) << out;
    EXPECT_TRUE(script().commands.empty());
}

TEST(SourceCheck, AnEmptyFileIsLeftToTheCompiler) {
    TempFolder folder;
    writeFile("signals.c", "");
    EXPECT_EQ(checkSignals("signals.c", scriptedServices()), 0);
    EXPECT_EQ(script().commands, std::vector<std::string>{"tcc.exe -c signals.c"});
}

TEST(SourceCheck, TheCompilersStatusDecides) {
    TempFolder folder;
    writeFile("signals.c", "double u(double t) { return t >= 0; }\n");
    for (const RunResult status : {exitedWith(0), exitedWith(1), notStarted(RunStart::notFound),
                                   endedBySignal(11), notStarted(RunStart::notStartable)}) {
        resetScript();
        script().commandStatus = status;
        EXPECT_EQ(checkSignals("signals.c", scriptedServices()), ranAndSucceeded(status) ? 0 : -1);
        EXPECT_EQ(script().commands, std::vector<std::string>{"tcc.exe -c signals.c"});
    }
}

TEST(SourceCheck, ANameTooLongForTheCommandIsNotCompiled) {
    TempFolder folder;
    const std::string name(90, 'a');
    writeFile(name, "int a;\n");
    EXPECT_EQ(checkSignals(name.c_str(), scriptedServices()), -1);
    EXPECT_TRUE(script().commands.empty());
}
