// The attempts a folder has kept: attempts/<n>/ holds the files of an
// earlier exam, attempts/README.txt a line for each.
#pragma once

#include <map>
#include <string>

#include "key/model/exam_variants.h"
#include "platform/platform.h"
#include "record/exam_files.h"
#include "record/record.h"

constexpr const char* attemptsFolderName = "attempts";
constexpr const char* attemptsReadmeName = "attempts/README.txt";

// "variant 64 (y(t) = x(2t+1))", or what the exam is when it is none.
std::string variantName(const ExamRecord& record);

// The OS's reason for `error` (an errno), or "failed" when there is none.
std::string reasonOf(int error);

// The number a kept attempt's folder is named by, as written ("7", not
// "07"), or 0 when the name is no such number. Below INT_MAX, so that the
// next attempt's number still fits.
int attemptNumberOf(const std::string& name);

// Finds the kept attempts by number, each with the name of its exam, and
// marks the variants they took. Removes what a stopped run left while
// gathering one.
std::map<int, std::string> surveyAttempts(bool (&taken)[variantCount]);

// Copies the attempt's files into attempts/<number> and adds its line to
// attempts/README.txt, and the lines of earlier ones that a stopped run did
// not note. Returns 0, or -1 after saying why; the exam is then untouched and
// no partial copy stays.
// Its files are written through `files`.
int keepAttempt(const ExamRecord& record, const std::map<int, std::string>& earlier, int number,
                int nextVariant, const FileOps& files);
