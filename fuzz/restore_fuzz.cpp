// The restore path: any 0 to 300 bytes as "exam.dat", then a student who
// confirms the ID, types an ID and group if asked, checks signals.c and exits.
//
// Checked on every input: the exam ends with a status it promises; a file
// holding a student keeps that student; a file too short for a record starts
// a new exam; whatever ran, "exam.dat" is then a whole record.
#include <cstdint>
#include <cstring>

#include "exam/exam.h"
#include "fuzz_services.h"
#include "record/record.h"

namespace {
constexpr std::size_t maxFileSize = 300;
const char student[] = "y\r\n123\n3\nYE";
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > maxFileSize) {
        return 0;
    }
    clearScratchFolder();
    writeBytes("exam.dat", data, size);
    playInput(reinterpret_cast<const std::uint8_t*>(student), sizeof student - 1);
    const int status = runExamWith(fuzzServices());

    require(status == 0 || status == -1, "an exit status the exam does not promise");
    ExamRecord saved{};
    require(readBytes("exam.dat", &saved, sizeof saved) == static_cast<long>(examRecordSize),
            "exam.dat is not a whole record");
    if (size < examRecordSize) {
        require(saved.idNum == 123 && saved.grpNum == 3, "a new exam did not take the typed student");
        return 0;
    }
    ExamRecord stored{};
    std::memcpy(&stored, data, sizeof stored);
    if (stored.idNum != 0) {
        require(saved.idNum == stored.idNum && saved.grpNum == stored.grpNum, "the stored student was changed");
    }
    if (static_cast<std::uint32_t>(stored.state) > Exiting) {
        // An unknown state ends the run at once and keeps the record as it was.
        require(std::memcmp(&saved, data, sizeof saved) == 0, "a record with an unknown state was changed");
    }
    return 0;
}
