#include "key/judging/grade.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "check/check.h"
#include "key/mistakes/mistakes.h"
#include "key/repairs/repairs.h"
#include "key/reading/source_scan.h"
#include "key/running/results.h"
#include "key/running/student_program.h"
#include "key/base/scratch.h"
#include "key/judging/verdict.h"
#include "key/model/load_key.h"
#include "key/base/words.h"
#include "platform/fence.h"
#include "platform/platform.h"

namespace {
struct Question {
    const char* label;
    const char* function;
    const Signal* expected;
};

void sayCannotGrade(const std::string& reason) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: cannot grade: %s\n", keyProgramName, reason.c_str());
}

std::string notRunnableHere() {
    const std::string folder = scratchFolder();
    return "the temporary folder " + folder.substr(0, folder.find_last_of("/\\")) +
           " does not let programs run (a drive mounted noexec?), so the grading program cannot "
           "run there. Set TMPDIR (TEMP on Windows) to a folder of yours and grade again.";
}

// Whether signals.c is there to compile. Returns 0, or -1 after saying why not.
int checkSource() {
    const SourceState state = inspectSource(studentSourceName);
    if (state == sourceUnreadable) {
        sayCannotGrade("there is no readable signals.c here.");
        return -1;
    }
    if (state == sourceHasByteOrderMark) {
        std::string message = byteOrderMarkMessage(studentSourceName);
        message.pop_back();  // its line end; sayCannotGrade writes one
        sayCannotGrade(message);
        return -1;
    }
    return 0;
}

// Puts the test program's source and a copy of signals.c (`source`, null
// when it could not be read) into the scratch folder, where the fenced
// compile reads them. Returns 0, or -1 after saying why not.
int writeSources(const std::vector<GradePoint>& points, const std::string* source) {
    const int written = writeStudentProgram(points, source);
    if (written == -1) {
        sayCannotGrade(std::string("cannot write ") + harnessSourceName + " in the scratch folder.");
        return -1;
    }
    if (written != 0) {
        sayCannotGrade(std::string("cannot copy signals.c into the scratch folder: ") + std::strerror(errno) + ".");
        return -1;
    }
    return 0;
}

// Makes the scratch folder and compiles the test program with signals.c in
// it. Returns 0, or -1 after saying why not, the folder gone.
int compileHarness(const std::vector<GradePoint>& points, const std::string* source,
                   const ExamServices& services, int timeLimitSeconds) {
    if (makeScratch(harnessFolderPrefix, ScratchPlace::privateTemp) != 0) {
        sayCannotGrade(std::string("cannot make a scratch folder: ") + std::strerror(errno) + ".");
        return -1;
    }
    if (writeSources(points, source) != 0) {
        removeWholeScratch();
        return -1;
    }
    std::printf("Compiling signals.c with the grading program...\n");
    const RunResult compiled = compileStudentProgram(services, timeLimitSeconds);
    if (ranAndSucceeded(compiled)) {
        return 0;
    }
    removeWholeScratch();
    if (compiled.start != RunStart::started) {
        sayCannotGrade(compilerNotRun(compiled.start) + ".");
    } else if (compiled.timedOut) {
        sayCannotGrade("the compiler did not finish within " + std::to_string(timeLimitSeconds) +
                       " s (does signals.c include a file that never ends?).");
    } else {
        sayCannotGrade("signals.c does not compile; the compiler's messages are above. It "
                       "must define x, y, z and r, and no main.");
    }
    return -1;
}

// The lines under a verdict, each indented to where the verdict starts.
void printBelow(const Question& question, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            std::printf("%*s%s\n", static_cast<int>(std::strlen(question.label)) + 2, "",
                        text.substr(start, end - start).c_str());
            start = end + 1;
        }
    }
}

// Runs one function, prints its lines and fills *graded. Returns 1 when it
// is right, 0 when not, -1 after saying why it could not run (the scratch
// folder then gone). `wrongY`, for z, is the student's y when it was wrong.
int gradeQuestion(const AnswerKey& key, const Question& question,
                  const std::vector<GradePoint>& points, const ExamServices& services,
                  int timeLimitSeconds, const SourceFacts& source, const std::vector<double>* wrongY,
                  const std::string& sourceText, bool showEdits, RepairSession* repairs,
                  GradedQuestion* graded) {
    const RunResult status = runStudentFunction(services, question.function, timeLimitSeconds);
    const std::string resultsFile = scratchPath(harnessResultsName);
    std::string results;
    const bool notRunnable = status.start == RunStart::notStartable;
    if (notRunnable || readWholeFile(resultsFile.c_str(), &results) != 0) {
        const std::string reason =
            notRunnable ? notRunnableHere()
                        : "the grading program did not run (status " + std::to_string(shellStatus(status)) + ").";
        removeWholeScratch();
        sayCannotGrade(reason);
        return -1;
    }
    const StudentRun run = readRun(results, points.size(), status);
    const Verdict verdict = judgeRun(*question.expected, points, run, timeLimitSeconds);
    const char function = question.function[0];
    const MistakeClues clues{findFunction(source, question.function), wrongY};
    Diagnosis mistake =
        verdict.right != 0 ? Diagnosis{} : diagnoseMistake(key, function, points, run.values, clues);
    // A function that hung would hang its candidates too.
    if (verdict.right == 0 && !status.timedOut) {
        mistake = diagnoseWithRepairs(
            {key, function, points, run.values, sourceText, services, timeLimitSeconds, showEdits, repairs},
            mistake);
    }
    const std::vector<std::string> remarks =
        verdict.right != 0 ? formRemarks(function, source) : std::vector<std::string>{};
    std::printf("%s: %s\n", question.label, verdict.text.c_str());
    printBelow(question, remarks);
    printBelow(question, {mistake.text});
    std::string title = std::string(question.label) + ": " + verdict.text;
    for (const std::string& line : remarks) {
        title += "\n" + line;
    }
    const bool onY = question.expected == &key.y;
    *graded = {title + (mistake.text.empty() ? "" : "\n" + mistake.text), question.expected,
               (onY ? key.yStart : key.xStart) - 0.5, (onY ? key.yEnd : key.xEnd) + 0.5, run.values,
               verdict.wrongPoints, run.complete, function, verdict.right, mistake, status};
    return verdict.right;
}
}  // namespace

std::string compilerNotRun(RunStart why) {
    if (why == RunStart::notStartable) {
        return "the C compiler tcc is there, but the system would not start it";
    }
    if (why == RunStart::notIsolated) {
        return "the C compiler tcc could not be run apart from this program";
    }
    return "the C compiler tcc was not found";
}

void sayWhatTheFenceLacks() {
    const std::string unfenced = fenceGapsText(fenceGaps());
    if (!unfenced.empty()) {
        sayProblem("this system lacks part of the fence around your functions: " + unfenced +
                   "; the grading goes on with the rest.");
    }
}

int gradeAttempt(const AnswerKey& key, const ExamServices& services, int timeLimitSeconds,
                 GradedAttempt* graded, bool showEdits) {
    graded->points = gradingPoints(key);
    graded->questions.clear();
    if (checkSource() != 0) {
        return 2;
    }
    // Read once: copied for the compile, and scanned for which function
    // calls which and C's slips, as the student wrote them.
    std::string text;
    const bool read = readWholeFile(studentSourceName, &text) == 0;
    if (compileHarness(graded->points, read ? &text : nullptr, services, timeLimitSeconds) != 0) {
        return 2;
    }
    const Question questions[] = {
        {"QUESTION 1  x(t)", "x", &key.x},
        {"QUESTION 2  y(t)", "y", &key.y},
        {"QUESTION 3  z(t)", "z", &key.y},
        {"QUESTION 4  r(t)", "r", &key.r},
    };
    const SourceFacts source = scanSource(text);
    int rightCount = 0;
    RepairSession repairs;
    std::printf("\n");
    for (const Question& question : questions) {
        GradedQuestion done{};
        // z may repeat the student's own wrong y: only a y with a value at
        // every time graded can be compared with.
        const GradedQuestion* y = graded->questions.size() > 1 ? &graded->questions[1] : nullptr;
        const bool zAfterWrongY = question.function[0] == 'z' && y != nullptr && y->right == 0 && y->complete;
        const int right = gradeQuestion(key, question, graded->points, services, timeLimitSeconds, source,
                                        zAfterWrongY ? &y->values : nullptr, text, showEdits, &repairs, &done);
        if (right < 0) {
            return 2;
        }
        rightCount += right;
        graded->questions.push_back(std::move(done));
    }
    removeWholeScratch();
    std::printf("\n%d of 4 right.\n", rightCount);
    std::fflush(stdout);
    return rightCount == 4 ? 0 : 1;
}

int gradeExam(const ExamServices& services, int timeLimitSeconds, bool showEdits, GradingFor grader,
              ExamGrading* grading) {
    grading->loaded = loadAnswerKey(&grading->record, &grading->key);
    if (grading->loaded != 0) {
        return -1;
    }
    if (grader == GradingFor::student) {
        sayWhatTheFenceLacks();
    }
    std::error_code error;
    if (grader == GradingFor::reportWorker && !std::filesystem::exists(studentSourceName, error)) {
        sayProblem("cannot grade: there is no signals.c.");
        return -2;
    }
    std::printf("Grading signals.c of ID %ld, group %d.\n", static_cast<long>(grading->record.idNum),
                grading->record.grpNum);
    return gradeAttempt(grading->key, services, timeLimitSeconds, &grading->graded, showEdits);
}
