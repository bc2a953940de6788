#include "key/model/load_key.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "key/base/words.h"
#include "key/model/record_check.h"
#include "record/workspace.h"

int loadAnswerKey(ExamRecord* record, AnswerKey* key) {
    std::error_code error;
    const auto status = std::filesystem::status(workspaceFileName, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        sayProblem("there is no exam.dat here. Run this in your exam folder, once mock-midterm "
                 "has made your questions.");
        return -1;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        sayProblem("cannot read exam.dat: it is not a regular file.");
        return -1;
    }
    errno = 0;
    if (loadWorkspace(record) != 0) {
        const auto size = std::filesystem::file_size(workspaceFileName, error);
        if (!error && size < examRecordSize) {
            sayProblem("exam.dat holds no exam: it has " + std::to_string(size) +
                     " bytes, an exam has " + std::to_string(examRecordSize) + ".");
        } else {
            sayProblem(std::string("cannot read exam.dat: ") +
                     (errno != 0 ? std::strerror(errno) : "read failed") + ".");
        }
        return -1;
    }
    const RecordCheck check = checkExamRecord(*record);
    if (check == noQuestionsYet) {
        sayProblem("the exam in exam.dat has no questions yet: run mock-midterm until it has "
                 "written MOCK_MIDTERM.txt.");
        return -1;
    }
    if (check != possibleExam || makeAnswerKey(*record, key) != 0) {
        sayProblem("exam.dat does not hold an exam made by mock-midterm");
        return notAnExam;
    }
    return 0;
}
