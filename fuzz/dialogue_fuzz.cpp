// The whole exam driven by any byte stream. The first byte picks the start:
// 0 to 9 a stored exam in that state (with a student and questions), 10 and
// more a first start; the rest is what the student types, keys and lines
// alike. Commands do nothing and pauses take no time.
//
// Checked on every input: the exam ends, in a number of turns bounded by the
// input's length (see playInput); its status is one it promises; and "exam.dat" then holds a
// whole record that agrees with the status.
#include <cstdint>
#include <cstring>

#include "exam/exam.h"
#include "fuzz_services.h"
#include "record/record.h"

namespace {
ExamRecord storedExam(std::int32_t state) {
    ExamRecord record{};
    record.state = state;
    record.idNum = 123;
    record.grpNum = 3;
    record.q1Shift = 1.0;
    const std::int32_t t[q1PointCount] = {-2, 1, 2, 3, 5, 5, 6, 6, 8, 8, 8};
    const std::int32_t x[q1PointCount] = {0, 0, 3, 0, 0, -1, -1, 0, 0, 0, 0};
    std::memcpy(record.q1T, t, sizeof t);
    std::memcpy(record.q1X, x, sizeof x);
    record.varQT = -2;
    record.varQK = 2;
    record.varTstart = 0.5;
    record.varTend = 0.75;
    record.varAmp = -1;
    return record;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    clearScratchFolder();
    const bool stored = data[0] <= Exiting;
    if (stored) {
        const ExamRecord record = storedExam(data[0]);
        writeBytes("exam.dat", &record, sizeof record);
    }
    playInput(data + 1, size - 1);
    const int status = runExamWith(fuzzServices());

    require(status == 0 || status == -1, "an exit status the exam does not promise");
    ExamRecord saved{};
    require(readBytes("exam.dat", &saved, sizeof saved) == static_cast<long>(examRecordSize),
            "exam.dat is not a whole record");
    if (status == 0) {
        require(saved.state == Exiting, "a normal end that did not save the Exiting state");
        require(saved.idNum >= 1, "a finished exam without a student");
        require(saved.grpNum == 1 || saved.grpNum == 3 || saved.grpNum == 4, "a finished exam without a group");
    } else {
        require(!stored || data[0] <= Identify, "a stored student was dropped");
        require(saved.state == Identify, "a failed identification saved another state");
    }
    if (stored && data[0] > Identify) {
        require(saved.idNum == 123 && saved.grpNum == 3, "the stored student was changed");
    }
    return 0;
}
