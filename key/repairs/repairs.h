// Feedback that finds the student's own slip. For a wrong function, small
// edits of the student's own source (repair_edits.h) are compiled as renamed
// copies in one tcc run and run at the grading points; an edit that makes
// the function right is the diagnosis. Where none does, facts about the
// function's values against the key (value_facts.h) are said instead.
#pragma once

#include <string>
#include <vector>

#include "key/mistakes/diagnosis.h"
#include "key/running/points.h"
#include "key/reading/repair_edits.h"
#include "key/model/answer_key.h"
#include "platform/services.h"

using Candidate = std::vector<const SourceEdit*>;

struct FunctionCandidates {
    char function = 0;
    FunctionSpan span;
    std::vector<SourceEdit> edits;
    std::vector<Candidate> candidates;  // pointing into edits
    std::vector<std::size_t> right;     // the candidates found right, once run
    bool run = false;                   // all of them were run
    bool mayLoop = false;               // it has a loop, which an edit may make endless
};

// The candidates of the functions still to grade, made and compiled
// together the first time one of them is wrong, and run together: one
// compile and, unless a candidate hangs, one run an attempt.
struct RepairSession {
    bool built = false;
    bool compiled = false;
    std::vector<FunctionCandidates> functions;
};

struct RepairRequest {
    const AnswerKey& key;
    char function;                         // 'x', 'y', 'z' or 'r', wrong
    const std::vector<GradePoint>& points;
    const std::vector<double>& values;     // the student's, as graded
    const std::string& source;             // signals.c
    const ExamServices& services;
    int timeLimitSeconds;
    bool showEdits;                        // say the edit itself, not only its line and kind
    RepairSession* session;                // one for the whole attempt, in grading order
};

// What to tell the student of a wrong function: the catalogue's mistake
// when no edit of the source shows another cause, a verified repair (its
// line, the kind of slip and a value to check), or facts about its values.
// The scratch folder (scratch.h) must exist; candidates' files go there.
Diagnosis diagnoseWithRepairs(const RepairRequest& request, const Diagnosis& catalogue);
