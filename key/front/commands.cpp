#include "key/front/commands.h"

#include <cstdio>
#include <string>

#include "key/judging/grade.h"
#include "key/model/exam_variants.h"
#include "key/model/key_text.h"
#include "key/model/load_key.h"
#include "key/plots/check_plot.h"
#include "key/plots/key_plot.h"

int gradeCommand(const ExamServices& services, int timeLimitSeconds, bool showKey) {
    ExamRecord record{};
    AnswerKey key{};
    const int loaded = loadAnswerKey(&record, &key);
    if (loaded != 0) {
        // A record no exam can hold is the student's folder at fault, as a
        // wrong answer is; no exam at all means there was nothing to grade.
        return loaded == notAnExam ? 1 : 2;
    }
    sayWhatTheFenceLacks();
    std::printf("Grading signals.c of ID %ld, group %d.\n", static_cast<long>(record.idNum),
                record.grpNum);
    GradedAttempt graded;
    const int status = gradeAttempt(key, services, timeLimitSeconds, &graded, showKey);
    if (status != 2) {
        drawCheckPlot(graded, services, showKey);
    }
    return status;
}

int printAnswerKey(const ExamServices& services) {
    ExamRecord record{};
    AnswerKey key{};
    if (loadAnswerKey(&record, &key) != 0) {
        return 1;
    }
    printAnswers(stdout, record, key);
    if (drawKeyPlot(key, services) != 0) {
        return 2;
    }
    std::printf("\nThe plots of x, y and r are in %s.\n", keyPlotName);
    return 0;
}

int printVariantKey(int variant) {
    ExamRecord record{};
    record.state = Menu;
    AnswerKey key{};
    if (applyVariant(variant, &record) != 0 || makeAnswerKey(record, &key) != 0) {
        sayProblem("variant " + std::to_string(variant) + " has no key.");
        return 1;
    }
    printAnswers(stdout, record, key);
    return 0;
}
