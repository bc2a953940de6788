#include "key/variants/variant.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

#include "generate/exam_rules.h"
#include "generate/mock_midterm.h"
#include "generate/questions.h"
#include "key/model/key_text.h"
#include "key/model/load_key.h"
#include "key/variants/attempts.h"
#include "platform/platform.h"
#include "record/workspace.h"

namespace fs = std::filesystem;

namespace {
// The variant `variant` names for the record (randomVariant and ownVariant
// worked out), or 0 after saying that none is left.
int chooseVariant(int variant, const ExamRecord& record, bool (&taken)[variantCount]) {
    if (variant == ownVariant) {
        return variantOfId(record.idNum);
    }
    if (variant != randomVariant) {
        return variant;
    }
    const int current = variantOfRecord(record);
    if (current > 0) {
        taken[current - 1] = true;
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    const int picked = pickUntakenVariant(taken, static_cast<std::uint64_t>(now));
    if (picked == 0) {
        sayProblem("all " + std::to_string(variantCount) +
                   " variants have been taken in this folder: name one, such as 'variant 1'. "
                   "Nothing was changed.");
    }
    return picked;
}
}  // namespace

int parseVariant(const char* text, int* variant) {
    const std::string_view word = text;
    if (word == "random") {
        *variant = randomVariant;
        return 0;
    }
    if (word == "id") {
        *variant = ownVariant;
        return 0;
    }
    return parseWholeNumber(word, 1, variantCount, variant);
}

int startVariant(int variant, const ExamServices& services, const FileOps& files) {
    ExamRecord record{};
    AnswerKey key{};
    if (loadAnswerKey(&record, &key) != 0) {
        return 1;
    }
    if (record.idNum < 1) {
        sayProblem("the exam in exam.dat has no student yet: run mock-midterm and give your ID first.");
        return 1;
    }
    std::error_code error;
    fs::create_directory(attemptsFolderName, error);
    // Through a link the copies, and the survey's removals, would land elsewhere.
    if (fs::symlink_status(attemptsFolderName, error).type() != fs::file_type::directory) {
        sayProblem(std::string("cannot keep your attempt: ") + attemptsFolderName +
            " is not a folder that can be made here. Nothing was changed.");
        return 1;
    }
    // A temp of the README is a killed run's: the folder's lock keeps out any other.
    removeStaleTemps(attemptsReadmeName);
    bool taken[variantCount] = {};
    const std::map<int, std::string> kept = surveyAttempts(taken);
    variant = chooseVariant(variant, record, taken);
    if (variant == 0) {
        return 1;
    }
    const int number = kept.empty() ? 1 : kept.rbegin()->first + 1;
    if (keepAttempt(record, kept, number, variant, files) != 0) {
        return 1;
    }
    ExamRecord next = record;
    applyVariant(variant, &next);
    next.state = WriteText;  // the exam's next start writes the new text
    if (saveWorkspaceWith(next, files) != 0) {
        sayProblem(std::string("cannot save exam.dat: ") + reasonOf(errno) +
            ". The exam was not changed; a copy of it is in attempts/" + std::to_string(number) +
            ".");
        return 1;
    }
    // Both describe the old exam, whose copies are kept; the next start of
    // the exam writes the text, and the plot is drawn here.
    std::remove(mockMidtermFileName);
    std::remove(plotPictureFileName);
    RunResult gnuplot;
    plotQuestion1(next, services, &gnuplot);

    std::printf("Your attempt at %s is kept in attempts/%d.\n", variantName(record).c_str(), number);
    std::printf("This folder now holds variant %d of %d: %s.\n", variant, variantCount,
                formatTransform(next.varQK, next.varQT).c_str());
    std::printf("Start mock-midterm to get its MOCK_MIDTERM.txt; q1.png shows its x(t).\n"
                "signals.c is as you left it.\n");
    // A gnuplot that is not there has been said, where it is looked for.
    if (gnuplot.start != RunStart::notFound && !fs::exists(plotPictureFileName, error)) {
        std::fflush(stdout);
        sayProblem(std::string(plotPictureFileName) + " was not drawn; " + plotDataFileName +
                   " holds the signal's corners.");
    }
    return 0;
}

namespace {
// Whether the file is a whole PNG: gnuplot stopped while drawing leaves a
// file without the closing IEND chunk, or an empty one.
bool isWholePicture(const char* path) {
    std::FILE* file = nullptr;
    if (openRegularFile(path, &file) != 0) {
        return false;
    }
    static const unsigned char end[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    unsigned char last[sizeof end] = {};
    const bool read = std::fseek(file, -static_cast<long>(sizeof end), SEEK_END) == 0 &&
                      std::fread(last, 1, sizeof last, file) == sizeof last;
    std::fclose(file);
    return read && std::equal(last, last + sizeof last, end);
}
}  // namespace

int repairPlotData(const ExamServices& services) {
    std::error_code error;
    // Only an exam folder made from the kit can draw q1.png.
    if (!fs::is_regular_file(workspaceFileName, error) || !fs::is_regular_file(plotScriptFileName, error)) {
        return 0;
    }
    ExamRecord record{};
    std::string found;
    if (loadWorkspace(&record) != 0 || !questionsAreMade(record)) {
        return 0;
    }
    if (readWholeFile(plotDataFileName, &found, true) != 0 || found != question1PlotData(record)) {
        sayProblem(std::string(plotDataFileName) + " does not match the exam in exam.dat: writing it and " +
                   plotPictureFileName + " again.");
    } else if (!isWholePicture(plotPictureFileName)) {
        sayProblem(std::string(plotPictureFileName) + " is missing or was not drawn whole: drawing it again.");
    } else {
        return 0;
    }
    std::remove(plotPictureFileName);
    plotQuestion1(record, services);
    return 1;
}
