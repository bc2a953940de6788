// Grading a practice attempt: the student's x, y, z and r from "signals.c"
// are compiled with a small test program of ours (harness.h), run at the
// grading times (points.h), and compared with the answer key by value.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "key/mistakes/mistakes.h"
#include "key/running/points.h"
#include "key/model/answer_key.h"
#include "record/record.h"
#include "platform/services.h"

// One question as it was graded, for the picture of the grading and for a
// class's count of mistakes.
struct GradedQuestion {
    std::string title;                     // the question and its verdict
    const Signal* key;                     // what the answer should be
    double lo, hi;                         // the window the exam draws it in
    std::vector<double> values;            // the student's, one per point reached
    std::vector<std::size_t> wrongPoints;  // the points whose values are wrong
    bool complete;                         // false: the run stopped at values.size()
    char function = 0;                     // 'x', 'y', 'z' or 'r'
    int right = 0;                         // 1 when every value is right
    Diagnosis mistake;                     // the known mistake a wrong answer's values fit, if any
    RunResult status;                      // how its run went, as runFenced gave it
};

struct GradedAttempt {
    std::vector<GradePoint> points;
    std::vector<GradedQuestion> questions;  // x, y, z and r
};

// Says in one line on stderr what this system's fence around the student's
// code lacks, when it lacks anything; the grading goes on with the rest.
void sayWhatTheFenceLacks();

// Why the C compiler did not run (`why` is not RunStart::started), in words
// for the line that says a folder could not be graded, without a full stop:
// not found, there but not started by the system, or not isolated.
std::string compilerNotRun(RunStart why);

// Grades "signals.c" in the working folder and prints one line per question,
// then the lines of a known mistake its values fit (what, why and how to
// check) or, beside a right verdict, remarks on its form, and a total, with
// what it found in *graded. Its scratch files are in a scratch folder
// (key/base/scratch.h), gone when it returns. Returns 0 when all four are
// right, 1 when any is wrong, 2 when it could not grade: no "signals.c" (or
// one that is no regular file), no compiler, a file that starts with a
// byte-order mark, a compile past the time limit, a file that does not
// compile (the compiler's messages are then on the console), or a folder
// where programs cannot run. The compiler and each function run inside the
// fence, through the services' runFenced with the given limit. A wrong
// function's verified repair names its line and kind of slip; `showEdits`
// says the edit.
int gradeAttempt(const AnswerKey& key, const ExamServices& services, int timeLimitSeconds,
                 GradedAttempt* graded, bool showEdits = false);

// Who a grading of the working folder is for: the student, in the exam
// folder, or the report's worker, in its copy of the folder, which says
// neither what the fence lacks (the report says it once for the class) nor
// "here" of a folder that is not the student's.
enum class GradingFor { student, reportWorker };

// An exam folder's attempt as graded. Its questions point into `key`, so it
// stays where it was made.
struct ExamGrading {
    ExamRecord record{};
    AnswerKey key{};
    int loaded = -1;  // loadAnswerKey's result: 0 when the key was made
    GradedAttempt graded;
};

// Grades the attempt in the working folder as `grade` does: the key of
// exam.dat (loadAnswerKey), a line naming the student's ID and group, and
// gradeAttempt. Returns gradeAttempt's 0, 1 or 2; -1 when exam.dat gave no
// key (grading->loaded says why, and it was said); for the report's worker
// -2 when there is no signals.c, said before the ID's line.
int gradeExam(const ExamServices& services, int timeLimitSeconds, bool showEdits, GradingFor grader,
              ExamGrading* grading);
