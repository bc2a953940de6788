// The gradebook's fields and the summary's shares, from rows made up here.
#include "key/report/class_results.h"

#include <gtest/gtest.h>

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
