#include "key/model/exam_variants.h"

#include <algorithm>

#include "generate/exam_rules.h"
#include "platform/random.h"

int applyVariant(int variant, ExamRecord* record) {
    if (variant < 1 || variant > variantCount) {
        return -1;
    }
    int rest = variant - 1;
    const int k = question2ShiftAt(rest % shiftCount);
    rest /= shiftCount;
    const int b = rest % pulseHeightCount == 0 ? -1 : 1;
    rest /= pulseHeightCount;
    const int later = rest % pulseDelayCount;
    rest /= pulseDelayCount;
    const int a = smallestPeak + rest % peakCount;
    rest /= peakCount;
    const int s = firstTriangleStart + rest;
    writeQuestion1({s, a, s + pulseDelay + later, b, timeScale, k}, record);
    record->varQT = k;
    record->varQK = timeScale;
    return 0;
}

int variantOfRecord(const ExamRecord& record) {
    for (int variant = 1; variant <= variantCount; ++variant) {
        ExamRecord made{};
        applyVariant(variant, &made);
        if (made.q1Shift == record.q1Shift && made.varQT == record.varQT &&
            made.varQK == record.varQK && std::equal(made.q1T, made.q1T + q1PointCount, record.q1T) &&
            std::equal(made.q1X, made.q1X + q1PointCount, record.q1X)) {
            return variant;
        }
    }
    return 0;
}

int variantOfId(std::int32_t idNum) {
    const std::int64_t place = (77 * static_cast<std::int64_t>(idNum)) % variantCount;
    return 1 + static_cast<int>(place < 0 ? place + variantCount : place);
}

int pickUntakenVariant(const bool (&taken)[variantCount], std::uint64_t seed) {
    int untaken = 0;
    for (const bool isTaken : taken) {
        untaken += isTaken ? 0 : 1;
    }
    if (untaken == 0) {
        return 0;
    }
    // A clock reading makes a poor index by itself.
    const std::uint64_t mixed = splitMix64(seed);
    int left = static_cast<int>(mixed % static_cast<std::uint64_t>(untaken));
    for (int variant = 1; variant <= variantCount; ++variant) {
        if (!taken[variant - 1] && left-- == 0) {
            return variant;
        }
    }
    return 0;
}
