#include "key/reading/source_scan.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace {
using Tokens = std::vector<std::string>;

bool isName(const std::string& token) { return !token.empty() && isNameStart(token[0]); }
bool isNumber(const std::string& token) {
    return !token.empty() && (std::isdigit(static_cast<unsigned char>(token[0])) != 0 || token[0] == '.') &&
           token != ".";
}
// A whole number stays an int in C: "2", "0x10", but not "2.", "1e3" or "2.f".
bool isWholeNumber(const std::string& token) {
    if (!isNumber(token) || token.find('.') != std::string::npos) {
        return false;
    }
    const bool hex = token.size() > 1 && (token[1] == 'x' || token[1] == 'X');
    return hex ? token.find_first_of("pP") == std::string::npos
               : token.find_first_of("eEfF") == std::string::npos;
}

Tokens tokenize(const std::string& text) {
    Tokens tokens;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\n' || std::isspace(static_cast<unsigned char>(c)) != 0) {
            lineStart = lineStart || c == '\n';
            ++i;
            continue;
        }
        const std::size_t skipped = skipNonCode(text, i, lineStart);
        lineStart = false;
        if (skipped != i) {
            i = skipped;
            continue;
        }
        const std::size_t end = tokenEnd(text, i);
        tokens.push_back(text.substr(i, end - i));
        i = end;
    }
    return tokens;
}

// The index just after the bracket that closes the one at i.
std::size_t afterGroup(const Tokens& tokens, std::size_t i, std::size_t end) {
    int depth = 0;
    for (; i < end; ++i) {
        const std::string& token = tokens[i];
        depth += token == "(" || token == "{" || token == "[" ? 1 : 0;
        depth -= token == ")" || token == "}" || token == "]" ? 1 : 0;
        if (depth <= 0) {
            return i + 1;
        }
    }
    return end;
}

// Past the ';' that ends a simple statement, or at a '}' that ends its block.
std::size_t afterSimpleStatement(const Tokens& tokens, std::size_t i, std::size_t end) {
    while (i < end && tokens[i] != ";" && tokens[i] != "}") {
        i = tokens[i] == "(" || tokens[i] == "{" || tokens[i] == "[" ? afterGroup(tokens, i, end) : i + 1;
    }
    return i < end && tokens[i] == ";" ? i + 1 : i;
}

struct Statement {
    std::size_t from, to;
};

// The readings below recurse once for each block, bracket or else-if nested
// in the student's signals.c. Deeper than this they stop and pass the rest
// over unread, claiming nothing of it: no student's file comes near it, and
// a hostile file nested a million deep would otherwise overflow the stack.
constexpr int deepestNesting = 256;

// The statement at i: where it ends, and whether every path through it ends
// in a return (as tcc judges before it warns "might return no value").
// Recursion as deep as the statements nest, at most deepestNesting.
std::size_t parseStatement(const Tokens& tokens, std::size_t i, std::size_t end, bool* returns,  // NOLINT(misc-no-recursion)
                           std::vector<Statement>* inner = nullptr, int depth = 0) {
    *returns = false;
    if (i >= end) {
        return end;
    }
    const std::string& word = tokens[i];
    if (depth > deepestNesting) {
        *returns = true;  // taken to return, so that no missing return is claimed
        return word == "{" ? afterGroup(tokens, i, end) : std::max(afterSimpleStatement(tokens, i, end), i + 1);
    }
    std::size_t next = i + 1;
    bool part = false;
    if (word == "{") {
        while (next < end && tokens[next] != "}") {
            const std::size_t from = next;
            next = std::max(parseStatement(tokens, next, end, &part, nullptr, depth + 1), from + 1);
            *returns = *returns || part;
            if (inner != nullptr) {
                inner->push_back({from, next});
            }
        }
        return std::min(next + 1, end);
    }
    if (word == "if") {
        next = parseStatement(tokens, afterGroup(tokens, next, end), end, &part, nullptr, depth + 1);
        if (next < end && tokens[next] == "else") {
            bool otherwise = false;
            next = parseStatement(tokens, next + 1, end, &otherwise, nullptr, depth + 1);
            *returns = part && otherwise;
        }
        return next;
    }
    if (word == "while" || word == "for" || word == "switch") {
        return parseStatement(tokens, afterGroup(tokens, next, end), end, &part, nullptr, depth + 1);
    }
    if (word == "do") {
        return afterSimpleStatement(tokens, parseStatement(tokens, next, end, &part, nullptr, depth + 1), end);
    }
    *returns = word == "return";
    return std::max(afterSimpleStatement(tokens, i, end), i + 1);
}

bool assignsAt(const Tokens& tokens, std::size_t i, const std::string& name) {
    return tokens[i] == name && i + 1 < tokens.size() && tokens[i + 1] == "=";
}

// Whether every path through the statement sets `name`.
// Recursion as deep as the statements nest, at most deepestNesting.
bool setsOnEveryPath(const Tokens& tokens, Statement statement, const std::string& name,  // NOLINT(misc-no-recursion)
                     int depth = 0) {
    if (depth > deepestNesting) {
        return true;  // taken as set, so that no unset variable is claimed
    }
    const std::string& word = tokens[statement.from];
    bool part = false;
    if (word == "if") {
        const std::size_t then = afterGroup(tokens, statement.from + 1, statement.to);
        const std::size_t otherwise = parseStatement(tokens, then, statement.to, &part);
        return otherwise < statement.to && tokens[otherwise] == "else" &&
               setsOnEveryPath(tokens, {then, otherwise}, name, depth + 1) &&
               setsOnEveryPath(tokens, {otherwise + 1, statement.to}, name, depth + 1);
    }
    if (word == "{") {
        std::vector<Statement> inner;
        parseStatement(tokens, statement.from, statement.to, &part, &inner);
        for (const Statement& s : inner) {
            if (setsOnEveryPath(tokens, s, name, depth + 1)) {
                return true;
            }
        }
        return false;
    }
    if (word == "while" || word == "for" || word == "do" || word == "switch") {
        return false;
    }
    for (std::size_t i = statement.from; i < statement.to; ++i) {
        if (assignsAt(tokens, i, name)) {
            return true;
        }
    }
    return false;
}

bool reads(const Tokens& tokens, Statement statement, const std::string& name) {
    for (std::size_t i = statement.from; i < statement.to; ++i) {
        if (tokens[i] == name && !assignsAt(tokens, i, name)) {
            return true;
        }
    }
    return false;
}

// A variable declared without a value at the top of the body and read on a
// path that has not set it: "double v; if (t < 1) v = t; return v;".
std::string unsetVariable(const Tokens& tokens, const std::vector<Statement>& body) {
    static const char* const types[] = {"double", "float", "int", "long"};
    for (std::size_t s = 0; s < body.size(); ++s) {
        const std::string& first = tokens[body[s].from];
        if (std::find(std::begin(types), std::end(types), first) == std::end(types)) {
            continue;
        }
        for (std::size_t i = body[s].from + 1; i + 1 < body[s].to; ++i) {
            const bool declared = isName(tokens[i]) && (tokens[i + 1] == "," || tokens[i + 1] == ";") &&
                                  (tokens[i - 1] == "," || tokens[i - 1] == first);
            if (!declared) {
                continue;
            }
            for (std::size_t later = s + 1; later < body.size(); ++later) {
                const std::size_t from = body[later].from;
                if (tokens[from] == "for" && from + 2 < body[later].to && assignsAt(tokens, from + 2, tokens[i])) {
                    break;  // "for (i = 0; ...)"
                }
                if (reads(tokens, body[later], tokens[i])) {
                    return tokens[i];
                }
                if (setsOnEveryPath(tokens, body[later], tokens[i])) {
                    break;
                }
            }
        }
    }
    return "";
}

std::string joined(const Tokens& tokens, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        const bool tight = i == from || tokens[i - 1] == "(" || tokens[i] == ")" || tokens[i] == "," ||
                           (tokens[i] == "(" && isName(tokens[i - 1]));
        text += (tight ? "" : " ") + tokens[i];
    }
    return text;
}

bool isSeparator(const std::string& token) {
    static const char* const separators[] = {"||", "?", ":", ",", ";", "{", "}", "=", "!",
                                              "return", "if", "while", "for", "else"};
    return std::find(std::begin(separators), std::end(separators), token) != std::end(separators);
}

// One comparison of a chain joined by &&: its operator at its own level.
struct Comparison {
    std::string op;
    bool ofT = false;
};

// Recursion as deep as the brackets around the comparison, at most
// deepestNesting; deeper, the brackets are read as a group, with no operator.
Comparison comparisonIn(const Tokens& tokens, std::size_t from, std::size_t to, int depth = 0) {  // NOLINT(misc-no-recursion)
    if (depth < deepestNesting && from < to && tokens[from] == "(" && afterGroup(tokens, from, to) == to) {
        return comparisonIn(tokens, from + 1, to - 1, depth + 1);  // "(t > 3)"
    }
    Comparison comparison;
    for (std::size_t i = from; i < to; i = tokens[i] == "(" ? afterGroup(tokens, i, to) : i + 1) {
        const std::string& token = tokens[i];
        if (token == "<" || token == ">" || token == "<=" || token == ">=" || token == "==" || token == "!=") {
            comparison.op = comparison.op.empty() ? token : comparison.op;
        }
    }
    comparison.ofT = std::find(tokens.begin() + static_cast<std::ptrdiff_t>(from),
                               tokens.begin() + static_cast<std::ptrdiff_t>(to), "t") !=
                     tokens.begin() + static_cast<std::ptrdiff_t>(to);
    return comparison;
}

// Judges one chain "a && b && c" found at one level of brackets.
void judgeChain(const Tokens& tokens, const std::vector<Statement>& segments, FunctionFacts* facts) {
    int strict = 0;
    int inclusive = 0;
    for (const Statement& segment : segments) {
        const Comparison comparison = comparisonIn(tokens, segment.from, segment.to);
        if (!comparison.ofT) {
            continue;
        }
        facts->comparisonsOfT += comparison.op.empty() ? 0 : 1;
        strict += comparison.op == "<" || comparison.op == ">" ? 1 : 0;
        inclusive += comparison.op == "<=" || comparison.op == ">=" ? 1 : 0;
        if ((comparison.op == "==" || comparison.op == "!=") && facts->equalityOnT.empty()) {
            facts->equalityOnT = joined(tokens, segment.from, segment.to);
        }
    }
    if (strict >= 2 && inclusive == 0) {
        facts->strictRanges.push_back(joined(tokens, segments.front().from, segments.back().to));
    }
}

// Finds the chains of comparisons joined by && in [from, to), at this level
// of brackets and inside each bracket.
// Recursion as deep as the brackets nest, at most deepestNesting; deeper
// brackets are passed over unread.
void scanConditions(const Tokens& tokens, std::size_t from, std::size_t to, FunctionFacts* facts,  // NOLINT(misc-no-recursion)
                    int depth = 0) {
    std::vector<Statement> chain;
    std::size_t start = from;
    auto endSegment = [&](std::size_t at, bool endsChain) {
        if (start < at) {
            chain.push_back({start, at});
        }
        if (endsChain && !chain.empty()) {
            judgeChain(tokens, chain, facts);
            chain.clear();
        }
        start = at + 1;
    };
    for (std::size_t i = from; i < to;) {
        if (tokens[i] == "(" || tokens[i] == "[") {
            const std::size_t close = afterGroup(tokens, i, to);
            if (depth < deepestNesting) {
                scanConditions(tokens, i + 1, close - 1, facts, depth + 1);
            }
            i = close;
            continue;
        }
        if (tokens[i] == "&&" || isSeparator(tokens[i])) {
            endSegment(i, tokens[i] != "&&");
        }
        ++i;
    }
    endSegment(to, true);
}

void scanExpressions(const Tokens& tokens, std::size_t from, std::size_t to, FunctionFacts* facts) {
    static const char* const keywords[] = {"if", "while", "for", "switch", "return", "sizeof"};
    for (std::size_t i = from; i < to; ++i) {
        const std::string& token = tokens[i];
        const bool call = isName(token) && i + 1 < to && tokens[i + 1] == "(" &&
                          std::find(std::begin(keywords), std::end(keywords), token) == std::end(keywords);
        if (call && std::find(facts->calls.begin(), facts->calls.end(), token) == facts->calls.end()) {
            facts->calls.push_back(token);
        }
        if (call && token == "abs" && facts->absOfDouble.empty()) {
            const std::size_t close = afterGroup(tokens, i + 1, to);
            for (std::size_t j = i + 2; j + 1 < close; ++j) {
                if (tokens[j] == "t" || (isNumber(tokens[j]) && !isWholeNumber(tokens[j]))) {
                    facts->absOfDouble = joined(tokens, i, close);
                    break;
                }
            }
        }
        // "1/2" is 0; "t*1/2" and "(double)1/2" are not integer divisions.
        const bool wholeDivision = token == "/" && i > from && i + 1 < to && isWholeNumber(tokens[i - 1]) &&
                                   isWholeNumber(tokens[i + 1]) &&
                                   (i < from + 2 || (tokens[i - 2] != "*" && tokens[i - 2] != "/" &&
                                                     tokens[i - 2] != "%" && tokens[i - 2] != ")"));
        if (wholeDivision && facts->integerDivision.empty()) {
            facts->integerDivision = tokens[i - 1] + "/" + tokens[i + 1];
        }
    }
    scanConditions(tokens, from, to, facts);
}

FunctionFacts readFunction(const Tokens& tokens, const std::string& name, std::size_t open, std::size_t close) {
    FunctionFacts facts;
    facts.name = name;
    std::vector<Statement> body;
    bool returns = false;
    parseStatement(tokens, open, close, &returns, &body);
    facts.mayEndWithoutReturn = !returns;
    facts.unsetVariable = unsetVariable(tokens, body);
    scanExpressions(tokens, open + 1, close - 1, &facts);
    return facts;
}
}  // namespace

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::size_t tokenEnd(const std::string& text, std::size_t i) {
    static const char* const twoCharOperators[] = {"<=", ">=", "==", "!=", "&&", "||", "++", "--",
                                                   "->", "+=", "-=", "*=", "/=", "%=", "<<", ">>"};
    const char c = text[i];
    std::size_t end = i + 1;
    if (isNameStart(c)) {
        while (end < text.size() && isNameChar(text[end])) {
            ++end;
        }
    } else if (std::isdigit(static_cast<unsigned char>(c)) != 0 ||
               (c == '.' && end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0)) {
        // A sign belongs to the number after its exponent's letter: e or E,
        // p or P in hexadecimal, where e is a digit.
        const bool hex = text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0;
        const std::string exponent = hex ? "pP" : "eE";
        while (end < text.size() &&
               (isNameChar(text[end]) || text[end] == '.' ||
                ((text[end] == '+' || text[end] == '-') && exponent.find(text[end - 1]) != std::string::npos))) {
            ++end;
        }
    } else {
        for (const char* pair : twoCharOperators) {
            if (text.compare(i, 2, pair) == 0) {
                end = i + 2;
            }
        }
    }
    return end;
}

std::size_t skipNonCode(const std::string& text, std::size_t i, bool lineStart) {
    const std::size_t n = text.size();
    if (text.compare(i, 2, "//") == 0 || (lineStart && text[i] == '#')) {
        while (i < n && text[i] != '\n') {
            i += text[i] == '\\' ? 2 : 1;  // a preprocessor line may go on after a backslash
        }
        return std::min(i, n);
    }
    if (text.compare(i, 2, "/*") == 0) {
        const std::size_t close = text.find("*/", i + 2);
        return close == std::string::npos ? n : close + 2;
    }
    if (text[i] == '"' || text[i] == '\'') {
        const char quote = text[i];
        for (++i; i < n && text[i] != quote && text[i] != '\n'; ++i) {
            if (text[i] == '\\') {
                ++i;
            }
        }
        return std::min(i + 1, n);
    }
    return i;
}


SourceFacts scanSource(const std::string& text) {
    const Tokens tokens = tokenize(text);
    SourceFacts facts;
    for (std::size_t i = 0; i < tokens.size();) {
        if (tokens[i] == "{") {
            i = afterGroup(tokens, i, tokens.size());  // a body not of a function we know
            continue;
        }
        if (isName(tokens[i]) && i + 1 < tokens.size() && tokens[i + 1] == "(") {
            const std::size_t open = afterGroup(tokens, i + 1, tokens.size());
            if (open < tokens.size() && tokens[open] == "{") {
                const std::size_t close = afterGroup(tokens, open, tokens.size());
                facts.functions.push_back(readFunction(tokens, tokens[i], open, close));
                i = close;
                continue;
            }
        }
        ++i;
    }
    return facts;
}

const FunctionFacts* findFunction(const SourceFacts& facts, const std::string& name) {
    for (const FunctionFacts& function : facts.functions) {
        if (function.name == name) {
            return &function;
        }
    }
    return nullptr;
}

bool callsThrough(const SourceFacts& facts, const std::string& from, const std::string& to) {
    std::vector<std::string> seen{from};
    for (std::size_t next = 0; next < seen.size(); ++next) {
        const FunctionFacts* function = findFunction(facts, seen[next]);
        for (const std::string& callee : function != nullptr ? function->calls : std::vector<std::string>{}) {
            if (callee == to) {
                return true;
            }
            if (std::find(seen.begin(), seen.end(), callee) == seen.end()) {
                seen.push_back(callee);
            }
        }
    }
    return false;
}
