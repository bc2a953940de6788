#include "key/report/class_picture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/platform.h"

ClassPicture classPicture(const std::vector<FolderResult>& rows) {
    static_assert(plottedQuestions == questionCount && plottedResults == answerTimedOut + 1);
    ClassPicture picture;
    picture.folders = static_cast<int>(rows.size());
    for (const FolderResult& row : rows) {
        if (row.status == gradedStatus) {
            ++picture.scores[std::clamp(row.score, 0, questionCount)];
        }
        for (int question = 0; question < questionCount; ++question) {
            ++picture.results[question][std::clamp(row.answers[question], 0, static_cast<int>(answerTimedOut))];
        }
    }
    for (int question = 0; question < questionCount; ++question) {
        picture.mistakes[question] = commonMistakes(rows, question);
    }
    return picture;
}

std::string classPlotPath(const std::string& named, const std::string& csvPath) {
    if (!named.empty() || csvPath.empty()) {
        return named;
    }
    return (std::filesystem::path(csvPath).parent_path() / classPlotName).generic_string();
}

int drawClassPicture(const std::vector<FolderResult>& rows, const std::string& pngPath) {
    if (drawClassPlot(classPicture(rows), platformServices(), pngPath) != 0) {
        return -1;
    }
    std::printf("\nThe class is drawn in %s.\n", pngPath.c_str());
    return 0;
}
