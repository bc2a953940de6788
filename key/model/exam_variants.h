// Exam variants: the 200 exams the questions can make, numbered.
//
// Variant n (1 to 200) is the exam whose parameters are the digits of n - 1
// in this mixed radix, most significant first, each list in this order:
//   s  the triangle's start      -1, 0, 1, 2, 3
//   A  the triangle's peak       2, 3
//   p  the pulse's start         s + 3, s + 4
//   B  the pulse's height        -1, 1
//   k  y(t) = x(2t + k)          -3, -2, -1, 1, 2
// so n - 1 = (((s' * 2 + A') * 2 + p') * 2 + B') * 5 + k', where s' is the
// place of s in its list (0 to 4), and so on. The exam every student gets
// first (s = 0, A = 3, p = 3, B = -1, k = 1) is variant 64.
// A student's own variant is 1 + (77 * ID) mod 200: neighbouring IDs get
// exams that differ in more than one place.
#pragma once

#include <cstdint>

#include "generate/exam_rules.h"
#include "record/record.h"

// Every s, A, p, B and k the exam's rules allow.
constexpr int variantCount = triangleStartCount * peakCount * pulseDelayCount * pulseHeightCount * shiftCount;
static_assert(variantCount == 200);

// Writes variant n's questions into the record: the Question 1 block, varQT
// and varQK. Returns 0, or -1 when n is not 1 to 200 (record unchanged).
int applyVariant(int variant, ExamRecord* record);

// The variant whose questions the record holds, or 0 when they are none of
// the 200 (a damaged or hand-made record).
int variantOfRecord(const ExamRecord& record);

// The student's own variant: 1 + (77 * idNum) mod 200, for any ID.
int variantOfId(std::int32_t idNum);

// One variant, at random from `seed`, among those whose taken[n - 1] is
// false. Returns 1 to 200, or 0 when all are taken.
int pickUntakenVariant(const bool (&taken)[variantCount], std::uint64_t seed);
