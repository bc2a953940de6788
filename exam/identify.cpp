#include "exam/identify.h"

#include <cstdint>
#include <cstdio>

#include "generate/exam_rules.h"

namespace {
constexpr int maxIdAttempts = 10;
constexpr std::uint32_t examSeed = 1;

bool isBlank(int byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\v' ||
           byte == '\f';
}

bool isDigit(int byte) { return byte >= '0' && byte <= '9'; }

void giveUp() { std::printf("Ending exam abruptly! Goodbye.\n"); }
}  // namespace

int readNumberLine(const ExamServices& services, long* value) {
    int byte = services.readLineByte();
    while (isBlank(byte)) {
        byte = services.readLineByte();
    }
    if (byte < 0) {
        return -2;
    }
    const bool negative = byte == '-';
    if (byte == '-' || byte == '+') {
        byte = services.readLineByte();
    }
    bool sawDigit = false;
    bool inRange = true;
    // Accumulate in 64 bits and stop growing once past the 32-bit range, so
    // any number of digits is safe.
    std::int64_t magnitude = 0;
    while (isDigit(byte)) {
        sawDigit = true;
        if (inRange) {
            magnitude = magnitude * 10 + (byte - '0');
            inRange = magnitude <= (negative ? 2147483648LL : 2147483647LL);
        }
        byte = services.readLineByte();
    }
    while (byte >= 0 && byte != '\n') {
        byte = services.readLineByte();
    }
    if (!sawDigit || !inRange) {
        return -1;
    }
    *value = static_cast<long>(negative ? -magnitude : magnitude);
    return 0;
}

long readIdNumber(const ExamServices& services) {
    for (int attempts = 0; attempts < maxIdAttempts; ++attempts) {
        std::printf("Enter your ID number: ");
        long id = 0;
        const int result = readNumberLine(services, &id);
        if (result == -2) {
            return -1;
        }
        if (result == 0 && id > 0) {
            return id;
        }
        std::printf("Invalid ID Number!\n");
    }
    std::printf("You have exceeded the max allowable tries. Contact your professor\n");
    return -1;
}

int readGroup(const ExamServices& services) {
    for (;;) {
        std::printf("To which group do you belong? ");
        long group = 0;
        const int result = readNumberLine(services, &group);
        if (result == -2) {
            return -1;
        }
        if (result == 0 && isGroup(group)) {
            return static_cast<int>(group);
        }
        std::printf("Invalid group!\n");
    }
}

int identifyStudent(ExamRecord* record, ExamState* next, const ExamServices& services) {
    if (record->idNum != 0) {
        // Only a restored workspace brings an ID here: confirm it is theirs.
        std::printf("Is this your ID num (y/n) %ld", static_cast<long>(record->idNum));
        const int key = services.readKey();
        if (key < 0) {
            giveUp();
            return -1;
        }
        if (key == 'y' || key == 'Y') {
            *next = MakeQuestion1;
        } else if (key == 'n' || key == 'N') {
            std::printf("Something went wrong!");
            *next = Exiting;
        }
        return 0;
    }
    const long id = readIdNumber(services);
    record->idNum = static_cast<std::int32_t>(id);
    if (id < 1) {
        giveUp();
        return -1;
    }
    // A constant seed: every student draws the same questions.
    services.seedRandom(examSeed);
    const int group = readGroup(services);
    if (group < 0) {
        giveUp();
        return -1;
    }
    record->grpNum = group;
    *next = MakeQuestion1;
    return 0;
}
