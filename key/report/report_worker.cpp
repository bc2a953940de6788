#include "key/report/report_worker.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "check/check.h"
#include "key/base/scratch.h"
#include "key/base/words.h"
#include "key/judging/grade.h"
#include "key/model/exam_variants.h"
#include "key/gradebook/class_results.h"
#include "platform/platform.h"

namespace {
constexpr const char* compileOutputName = "compile.txt";

// What the worker saw of the compile, through the services it grades with.
struct CompileSeen {
    bool ran = false;
    RunResult status;
    std::string firstMessage;
};
CompileSeen compileSeen;

// The compile's messages go into the feedback where grade shows them, and
// its first line is kept for the gradebook; what the student's functions
// print is dropped, however much it is.
RunResult runForReport(const char* commandLine, const char* folder, int seconds) {
    // signals.c's own compile comes first; the repairs' come after it.
    const bool compile = !compileSeen.ran && std::string_view(commandLine).substr(0, 3) == "tcc";
    sendOutputTo(compile ? compileOutputName : nullptr);
    const RunResult status = platformServices().runFenced(commandLine, folder, seconds);
    sendOutputTo(workerFeedbackName);
    if (compile) {
        compileSeen.ran = true;
        compileSeen.status = status;
        std::string messages;
        readWholeFile(compileOutputName, &messages, true);
        std::fputs(messages.c_str(), stdout);
        const std::size_t start = messages.find_first_not_of("\r\n");
        if (start != std::string::npos) {
            compileSeen.firstMessage = messages.substr(start, messages.find_first_of("\r\n", start) - start);
        }
        std::remove(compileOutputName);
    }
    return status;
}

ExamServices reportServices() {
    ExamServices services = platformServices();
    services.runFenced = runForReport;
    return services;
}

// The first line the key said about the folder, without the program's name.
std::string firstProblem() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::string said;
    readWholeFile(workerFeedbackName, &said, true);
    std::string line = said.substr(0, said.find('\n'));
    const std::string name = std::string(keyProgramName) + ": ";
    if (line.rfind(name, 0) == 0) {
        line.erase(0, name.size());
    }
    if (line.rfind("cannot grade: ", 0) == 0) {
        line.erase(0, std::strlen("cannot grade: "));
    }
    return line.empty() ? "could not be graded" : line;
}

std::string ungradedStatus(int timeLimitSeconds) {
    if (!compileSeen.ran) {
        return firstProblem();
    }
    if (compileSeen.status.start != RunStart::started) {
        return compilerNotRun(compileSeen.status.start);
    }
    if (compileSeen.status.timedOut) {
        return "the compile did not end within " + std::to_string(timeLimitSeconds) + " s";
    }
    if (!ranAndSucceeded(compileSeen.status)) {
        return "does not compile: " + compileSeen.firstMessage;
    }
    return firstProblem();
}

// How a question came out, for the gradebook.
int answerResult(const GradedQuestion& question) {
    if (question.right != 0) {
        return answerRight;
    }
    if (question.complete) {
        return answerWrong;
    }
    return question.status.timedOut ? answerTimedOut : answerCrashed;
}

void gradeCopies(int timeLimitSeconds, FolderResult* result) {
    ExamGrading grading;
    const int graded = gradeExam(reportServices(), timeLimitSeconds, false, GradingFor::reportWorker, &grading);
    if (graded == -1) {
        result->status = firstProblem();
        return;
    }
    const ExamRecord& record = grading.record;
    result->examRead = true;
    result->id = record.idNum;
    result->group = record.grpNum;
    result->variant = variantOfRecord(record);
    result->ownVariant = variantOfId(record.idNum);
    if (graded == -2) {
        result->status = "no signals.c";
        return;
    }
    if (graded == 2) {
        result->status = inspectSource(studentSourceName) == sourceHasByteOrderMark
                             ? "signals.c starts with a byte-order mark: save it as plain UTF-8"
                             : ungradedStatus(timeLimitSeconds);
        return;
    }
    result->status = gradedStatus;
    for (std::size_t i = 0; i < grading.graded.questions.size() && i < questionCount; ++i) {
        const GradedQuestion& question = grading.graded.questions[i];
        result->answers[i] = answerResult(question);
        result->mistakes[i] = question.mistake.text;
        result->mistakeKinds[i] = question.mistake.kind;
        result->score += question.right != 0 ? 1 : 0;
    }
}
}  // namespace

int runReportWorker(const char* folder, int timeLimitSeconds) {
    std::error_code error;
    std::filesystem::current_path(folder, error);
    if (error || sendOutputTo(workerFeedbackName) != 0) {
        return 2;
    }
    FolderResult result;
    gradeCopies(timeLimitSeconds, &result);
    const std::string outcome = encodeOutcome(result);
    std::fflush(stdout);
    return replaceFileWith(workerOutcomeName, outcome.data(), outcome.size(), scratchFileOps(), true) == 0 ? 0 : 2;
}
