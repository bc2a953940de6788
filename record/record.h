// record/, the data: the one record of everything the exam has decided
// (here) and its workspace file (workspace.h).
//
// The one record of everything the exam has decided. Its bytes are also,
// unchanged, the content of the workspace file "exam.dat", so its layout is
// fixed to the byte and checked below.
#pragma once

#include <cstddef>
#include <cstdint>

// The exam's states; the number is what the record's `state` field stores.
enum ExamState : std::int32_t {
    Restore = 0,
    Identify = 1,
    AwaitKey = 2,
    MakeQuestion1 = 3,
    MakeQuestion2 = 4,
    MakeWindow = 5,
    WriteText = 6,
    BuildPdf = 7,
    Menu = 8,
    Exiting = 9,
};

constexpr int q1PointCount = 11;

struct ExamRecord {
    std::int32_t state;     // the state to run next; set before every save
    std::int32_t idNum;     // 0 until the student has given an ID
    std::int32_t grpNum;    // 1, 3 or 4
    std::int32_t reserved1; // alignment gap, no meaning
    // Question 1: one 96-byte block, filled by a single copy.
    double q1Shift;                 // where the triangle starts, -1 to 3
    std::int32_t q1T[q1PointCount]; // breakpoint times
    std::int32_t q1X[q1PointCount]; // breakpoint values
    // Question 2.
    std::int32_t varQT;  // time shift k of y(t) = x(Kt + k)
    std::int32_t varQK;  // time scale K, always 2
    double varTstart;    // time window of the typeset exam
    double varTend;
    std::int32_t varAmp; // amplitude sign, 1 or -1
    std::int32_t reserved2;
};

constexpr std::size_t examRecordSize = 144;
constexpr std::size_t q1BlockSize = 96;

static_assert(sizeof(double) == 8, "the workspace stores IEEE 754 doubles");
static_assert(sizeof(ExamRecord) == examRecordSize);
static_assert(offsetof(ExamRecord, state) == 0);
static_assert(offsetof(ExamRecord, idNum) == 4);
static_assert(offsetof(ExamRecord, grpNum) == 8);
static_assert(offsetof(ExamRecord, q1Shift) == 16);
static_assert(offsetof(ExamRecord, q1T) == 24);
static_assert(offsetof(ExamRecord, q1X) == 68);
static_assert(offsetof(ExamRecord, varQT) == 112);
static_assert(offsetof(ExamRecord, varQK) == 116);
static_assert(offsetof(ExamRecord, varTstart) == 120);
static_assert(offsetof(ExamRecord, varTend) == 128);
static_assert(offsetof(ExamRecord, varAmp) == 136);
static_assert(offsetof(ExamRecord, varQT) - offsetof(ExamRecord, q1Shift) == q1BlockSize);
