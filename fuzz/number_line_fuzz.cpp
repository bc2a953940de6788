// The number prompts' line reader, and the ID and group prompts built on it,
// on any bytes. The first byte picks the reader; the rest is the input.
//
// Checked on every input: each read ends; a read that gives a number has
// consumed at least one byte; readNumberLine agrees with a plain reference
// reading of the same line; the prompts return only values they promise.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "exam/identify.h"
#include "fuzz_services.h"

namespace {
bool isBlank(int byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

// The line reader's rules, written the obvious way: skip blanks and blank
// lines, an optional sign, digits, the rest of the line discarded.
// Returns what readNumberLine should, and advances `position` past the line.
int referenceRead(const std::uint8_t* data, std::size_t size, std::size_t* position, long* value) {
    std::size_t i = *position;
    while (i < size && isBlank(data[i])) {
        ++i;
    }
    if (i == size) {
        *position = i;
        return -2;
    }
    std::size_t end = i;
    while (end < size && data[end] != '\n') {
        ++end;
    }
    *position = end < size ? end + 1 : end;
    bool negative = false;
    if (data[i] == '-' || data[i] == '+') {
        negative = data[i] == '-';
        ++i;
    }
    std::size_t digits = 0;
    long double magnitude = 0;
    while (i + digits < end && data[i + digits] >= '0' && data[i + digits] <= '9') {
        magnitude = magnitude * 10 + (data[i + digits] - '0');
        ++digits;
    }
    const long double signedValue = negative ? -magnitude : magnitude;
    if (digits == 0 || signedValue > 2147483647.0L || signedValue < -2147483648.0L) {
        return -1;
    }
    *value = static_cast<long>(signedValue);
    return 0;
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
    const std::uint8_t reader = data[0] % 3;
    const std::uint8_t* text = data + 1;
    const std::size_t length = size - 1;
    playInput(text, length);
    const ExamServices& services = fuzzServices();
    if (reader == 0) {
        std::size_t referencePosition = 0;
        for (;;) {
            const std::size_t before = inputRead();
            long value = 0;
            long expected = 0;
            const int result = readNumberLine(services, &value);
            const int wanted = referenceRead(text, length, &referencePosition, &expected);
            require(result == wanted, "readNumberLine and the reference disagree on the result");
            require(inputRead() == referencePosition, "readNumberLine stopped elsewhere in the input");
            if (result == -2) {
                require(inputRead() == length, "end of input reported with input left");
                break;
            }
            require(inputRead() > before, "a line was read without consuming input");
            if (result == 0) {
                require(value == expected, "readNumberLine read another value");
            }
        }
    } else if (reader == 1) {
        const long id = readIdNumber(services);
        require(id == -1 || (id >= 1 && id <= 2147483647L), "readIdNumber gave an impossible ID");
    } else {
        const int group = readGroup(services);
        require(group == -1 || group == 1 || group == 3 || group == 4, "readGroup gave another group");
        require(group != -1 || inputRead() == length, "readGroup gave up with input left");
    }
    return 0;
}
