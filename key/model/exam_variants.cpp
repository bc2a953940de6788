#include "key/model/exam_variants.h"

#include <algorithm>

#include "platform/random.h"

namespace {
// The lists of the mixed radix documented in the header, in their order.
constexpr int shifts[] = {-1, 0, 1, 2, 3};
constexpr int peaks[] = {2, 3};
constexpr int heights[] = {-1, 1};
constexpr int timeShifts[] = {-3, -2, -1, 1, 2};
}  // namespace

int applyVariant(int variant, ExamRecord* record) {
    if (variant < 1 || variant > variantCount) {
        return -1;
    }
    int rest = variant - 1;
    const int k = timeShifts[rest % 5];
    rest /= 5;
    const int b = heights[rest % 2];
    rest /= 2;
    const int later = rest % 2;
    rest /= 2;
    const int a = peaks[rest % 2];
    rest /= 2;
    const int s = shifts[rest];
    const int p = s + 3 + later;
    const int t[q1PointCount] = {-2, s, s + 1, s + 2, p, p, p + 1, p + 1, 8, 8, 8};
    const int x[q1PointCount] = {0, 0, a, 0, 0, b, b, 0, 0, 0, 0};
    record->q1Shift = s;
    for (int i = 0; i < q1PointCount; ++i) {
        record->q1T[i] = t[i];
        record->q1X[i] = x[i];
    }
    record->varQT = k;
    record->varQK = 2;
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
