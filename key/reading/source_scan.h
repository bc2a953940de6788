// A small reading of the student's "signals.c": which function calls which,
// how its conditions compare t, and the C slips that change values without
// a compiler error. It reads tokens with comments, strings and preprocessor
// lines removed, and is no C parser: it serves remarks and named mistakes,
// never a verdict.
#pragma once

#include <string>
#include <vector>

struct FunctionFacts {
    std::string name;
    std::vector<std::string> calls;         // functions it calls itself, each once, in order
    std::vector<std::string> strictRanges;  // conditions bounding t on two sides with < and > only
    std::string integerDivision;            // the first "1/2" of two whole numbers, or ""
    std::string absOfDouble;                // the first abs(...) of a double expression, or ""
    std::string equalityOnT;                // the first comparison of t with == or !=, or ""
    std::string unsetVariable;              // a variable that can be read before it is set, or ""
    bool mayEndWithoutReturn = false;       // a path reaches the closing brace
    int comparisonsOfT = 0;                 // comparisons of t: two or more make pieces
};

struct SourceFacts {
    std::vector<FunctionFacts> functions;  // the functions defined, in file order
};

// Reads the functions defined in a C source text. Text it cannot follow
// gives fewer facts, never a failure.
SourceFacts scanSource(const std::string& text);

// The facts of the function `name`, or nullptr when it is not defined.
const FunctionFacts* findFunction(const SourceFacts& facts, const std::string& name);

// Whether `from` calls `to`, itself or through functions defined in the file.
bool callsThrough(const SourceFacts& facts, const std::string& from, const std::string& to);

// The letters, digits and '_' of C's names.
bool isNameStart(char c);
bool isNameChar(char c);

// The end of the token that starts at text[i], which is no blank and no
// comment: a name, a number (with its exponent's sign, "1e-3", "0x1p+3"),
// an operator of two characters, or any other one character.
std::size_t tokenEnd(const std::string& text, std::size_t i);

// The end of a comment, string, character constant or preprocessor line
// (`lineStart`: i starts a line) at i, or i when none starts there.
std::size_t skipNonCode(const std::string& text, std::size_t i, bool lineStart);
