// The small edits of a student's function that a repair search tries: the
// slips students make, written as rewrites of their own source text. Pure
// text work; key/repairs/repairs.h compiles and runs what it makes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One rewrite: the bytes [at, at + length) of the source become `text`.
struct SourceEdit {
    std::size_t at = 0;
    std::size_t length = 0;
    std::string text;
    const char* kind = "";  // what the slip is: "sign", "comparison", "number", ... (see slipWords)
    int line = 0;           // the line of signals.c it is on, from 1
};

// The function `name` as it stands in the source: where its parameter list
// starts and where its body's closing brace ends. found is false when the
// source does not define it.
struct FunctionSpan {
    bool found = false;
    std::size_t parameters = 0;  // the '(' after the name
    std::size_t end = 0;         // one past the closing '}'
};
FunctionSpan findFunctionSpan(const std::string& source, const std::string& name);

// The single edits of the function worth trying, most likely first. The
// exam's own numbers (breakpoints, heights, slopes, the shift and its half)
// are what a number may be replaced by. `mathDeclared` tells whether the
// file includes math.h (else an edit that declares its functions is tried).
std::vector<SourceEdit> slipEdits(const std::string& source, const FunctionSpan& span,
                                  const std::vector<double>& examNumbers, bool mathDeclared);

// The function's text from its parameter list on, with the edits applied
// (at most two, not overlapping, in any order).
// An "include" edit calls the math functions as math.h declares them, under
// the names repairMath_pow and so on, which the caller defines.
std::string editedFunction(const std::string& source, const FunctionSpan& span,
                           const std::vector<const SourceEdit*>& edits);

// What a kind of slip is, for the student: "a sign changed".
const char* slipWords(const char* kind);

// The names of the math functions a function calls, declared without math.h
// as functions that return an int.
std::vector<std::string> mathCallsIn(const std::string& source, const FunctionSpan& span);

// Whether the source includes math.h.
bool includesMath(const std::string& source);

// Whether the function has a loop (while, for, do, goto), which an edit may
// make endless.
bool mayLoop(const std::string& source, const FunctionSpan& span);
