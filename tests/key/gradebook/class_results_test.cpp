// The gradebook's fields and the summary's shares, from rows made up here.
#include "key/gradebook/class_results.h"

#include <gtest/gtest.h>

#include "key/report/class_folders.h"
#include "key/report/class_report.h"

TEST(ClassResults, QuotesAreDoubledAndSharesRounded) {
    EXPECT_EQ(csvField("Ben \"BJ\" Okafor"), "\"Ben \"\"BJ\"\" Okafor\"");
    std::vector<FolderResult> rows(3);
    for (FolderResult& row : rows) {
        row.status = gradedStatus;
        row.examRead = true;
        row.answers[0] = &row == &rows[0] ? answerWrong : answerRight;
    }
    EXPECT_NE(classSummary(rows, {}).find("\nQuestion 1: 67 % right (2 of 3)\n"), std::string::npos)
        << classSummary(rows, {});
}

// What a folder's name can carry into a spreadsheet and a file system.
TEST(ClassResults, NamesReachTheGradebookAndTheFeedbackSafely) {
    const std::pair<const char*, const char*> cells[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1+cmd", "\"'+1+cmd\""},
        {"-x", "\"'-x\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tlook", "\"'\tlook\""},
        {"-1.5", "-1.5"},  // a number stays a number
        {"class/=a", "class/=a"},
    };
    for (const auto& [value, field] : cells) {
        EXPECT_EQ(csvField(value), field) << value;
    }
    EXPECT_EQ(validUtf8("caf\xc3\xa9 \xff\xc3(\xed\xa0\x80"), "caf\xc3\xa9 \uFFFD\uFFFD(\uFFFD\uFFFD\uFFFD");
    const std::string longName(300, 'a');
    const std::string first = feedbackFileName(longName + "x", 7, true);
    const std::string second = feedbackFileName(longName + "y", 7, true);
    EXPECT_LE(first.size(), 200U);
    EXPECT_NE(first, second) << "both ends are kept";
}
