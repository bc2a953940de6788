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
    ExamGrading grading;
    const int status = gradeExam(services, timeLimitSeconds, showKey, GradingFor::student, &grading);
    if (status == -1) {
        // A record no exam can hold is the student's folder at fault, as a
        // wrong answer is; no exam at all means there was nothing to grade.
        return grading.loaded == notAnExam ? 1 : 2;
    }
    if (status != 2) {
        drawCheckPlot(grading.graded, services, showKey);
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
