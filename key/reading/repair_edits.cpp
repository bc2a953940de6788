#include "key/reading/repair_edits.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "key/reading/source_scan.h"

namespace {
struct Token {
    std::size_t at;
    std::string text;
    int line;
};
std::size_t endOf(const Token& token) { return token.at + token.text.size(); }
using Tokens = std::vector<Token>;

bool isName(const Token& token) { return isNameStart(token.text[0]); }
bool isNumber(const Token& token) {
    return std::isdigit(static_cast<unsigned char>(token.text[0])) != 0 ||
           (token.text[0] == '.' && token.text.size() > 1);
}
bool is(const Token& token, const char* text) { return token.text == text; }

Tokens tokenize(const std::string& text) {
    Tokens tokens;
    bool lineStart = true;
    int line = 1;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            lineStart = lineStart || c == '\n';
            line += c == '\n' ? 1 : 0;
            ++i;
            continue;
        }
        const std::size_t skipped = skipNonCode(text, i, lineStart);
        lineStart = false;
        if (skipped != i) {
            line += static_cast<int>(std::count(text.begin() + static_cast<long>(i),
                                                text.begin() + static_cast<long>(skipped), '\n'));
            i = skipped;
            continue;
        }
        const std::size_t end = tokenEnd(text, i);
        tokens.push_back({i, text.substr(i, end - i), line});
        i = end;
    }
    return tokens;
}

// The index of the bracket that closes the one at `open`, or tokens.size().
std::size_t closing(const Tokens& tokens, std::size_t open) {
    const std::string opener = tokens[open].text;
    const char* closer = opener == "(" ? ")" : opener == "{" ? "}" : "]";
    int depth = 0;
    for (std::size_t i = open; i < tokens.size(); ++i) {
        depth += is(tokens[i], opener.c_str()) ? 1 : is(tokens[i], closer) ? -1 : 0;
        if (depth == 0) {
            return i;
        }
    }
    return tokens.size();
}

// The body's tokens: those from the parameter list to the closing brace.
Tokens functionTokens(const std::string& source, const FunctionSpan& span) {
    Tokens all = tokenize(source);
    Tokens inside;
    for (const Token& token : all) {
        if (token.at >= span.parameters && endOf(token) <= span.end) {
            inside.push_back(token);
        }
    }
    return inside;
}

std::string numberText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    std::string number = text;
    if (number.find_first_of(".e") == std::string::npos) {
        number += ".0";
    }
    return value < 0 ? "(" + number + ")" : number;
}

bool isOperator(const Token& token) {
    static const char* const operators[] = {"+", "-", "*", "/", "(", ",", "=", "return", "<", ">",
                                            "<=", ">=", "==", "!=", "&&", "||", "?", ":", "+=", "-="};
    for (const char* op : operators) {
        if (is(token, op)) {
            return true;
        }
    }
    return false;
}

// An operand's first and last token around a binary operator at i: a
// number, a name, a call or a group in brackets.
bool operandBefore(const Tokens& tokens, std::size_t i, std::size_t* first) {
    if (i == 0) {
        return false;
    }
    std::size_t at = i - 1;
    if (is(tokens[at], ")")) {
        int depth = 0;
        for (;; --at) {
            depth += is(tokens[at], ")") ? 1 : is(tokens[at], "(") ? -1 : 0;
            if (depth == 0 || at == 0) {
                break;
            }
        }
        if (at > 0 && isName(tokens[at - 1]) && !is(tokens[at - 1], "return")) {
            --at;
        }
    } else if (!isName(tokens[at]) && !isNumber(tokens[at])) {
        return false;
    }
    *first = at;
    return true;
}

bool operandAfter(const Tokens& tokens, std::size_t i, std::size_t* last) {
    std::size_t at = i + 1;
    if (at >= tokens.size()) {
        return false;
    }
    if (isName(tokens[at]) && at + 1 < tokens.size() && is(tokens[at + 1], "(")) {
        ++at;
    }
    if (is(tokens[at], "(")) {
        at = closing(tokens, at);
    } else if (!isName(tokens[at]) && !isNumber(tokens[at])) {
        return false;
    }
    *last = at;
    return at < tokens.size();
}

struct EditList {
    const std::string& source;
    std::vector<SourceEdit>* edits;
};

void addEdit(const EditList& list, std::size_t at, std::size_t length, std::string text, const char* kind, int line) {
    list.edits->push_back({at, length, std::move(text), kind, line});
}

void replaceToken(const EditList& list, const Token& token, std::string text, const char* kind) {
    addEdit(list, token.at, token.text.size(), std::move(text), kind, token.line);
}

void addOperatorEdits(const Tokens& tokens, const EditList& list) {
    static const char* const swaps[][2] = {{"<", "<="}, {"<=", "<"}, {">", ">="}, {">=", ">"},
                                           {"<", ">"},  {">", "<"},  {"<=", ">="}, {">=", "<="}};
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        for (const auto& swap : swaps) {
            if (is(token, swap[0])) {
                replaceToken(list, token, swap[1], "comparison");
            }
        }
        const bool binary = !isOperator(tokens[i - 1]);
        if (is(token, "+") || (is(token, "-") && binary)) {
            replaceToken(list, token, is(token, "+") ? "-" : "+", "sign");
        } else if (is(token, "-")) {
            replaceToken(list, token, "", "sign");
        } else if (is(token, "&&") || is(token, "||")) {
            replaceToken(list, token, is(token, "&&") ? "||" : "&&", "logic");
        } else if (is(token, "*") || is(token, "/")) {
            replaceToken(list, token, is(token, "*") ? "/" : "*", "operator");
        } else if ((isNumber(token) || is(token, "t")) && isOperator(tokens[i - 1]) && !is(tokens[i - 1], "-") &&
                   !is(tokens[i + 1], "=")) {
            addEdit(list, token.at, 0, " -", "sign", token.line);
        }
    }
}

void addNumberEdits(const Tokens& tokens, const std::vector<double>& numbers, const EditList& list) {
    for (std::size_t i = 1; i + 1 < tokens.size(); ++i) {
        const Token& token = tokens[i];
        // A case label and an index must stay whole numbers.
        if (!isNumber(token) || is(tokens[i - 1], "case") || is(tokens[i - 1], "[") || is(tokens[i + 1], "]")) {
            continue;
        }
        const double value = std::strtod(token.text.c_str(), nullptr);
        for (double number : numbers) {
            if (number != value && !(number < 0 && is(tokens[i - 1], "-"))) {
                replaceToken(list, token, numberText(number), "number");
            }
        }
        const bool whole = token.text.find_first_of(".eExX") == std::string::npos;
        if (whole && (is(tokens[i - 1], "/") || is(tokens[i + 1], "/"))) {
            replaceToken(list, token, token.text + ".0", "integer-division");
        }
    }
}

// Brackets around a sum or a product that a neighbour's * or / binds first.
void addPrecedenceEdits(const Tokens& tokens, const EditList& list) {
    for (std::size_t i = 1; i + 1 < tokens.size(); ++i) {
        const bool sum = is(tokens[i], "+") || (is(tokens[i], "-") && !isOperator(tokens[i - 1]));
        const bool product = is(tokens[i], "*") || is(tokens[i], "/");
        std::size_t first = 0;
        std::size_t last = 0;
        if ((!sum && !product) || !operandBefore(tokens, i, &first) || !operandAfter(tokens, i, &last) ||
            first == 0 || last + 1 >= tokens.size()) {
            continue;
        }
        const Token& before = tokens[first - 1];
        const Token& after = tokens[last + 1];
        // A minus that opens the source is a sign, not a difference.
        const bool bound = sum ? is(before, "*") || is(before, "/") ||
                                     (is(before, "-") && first >= 2 && !isOperator(tokens[first - 2])) ||
                                     is(after, "*") || is(after, "/")
                               : is(before, "/");
        if (bound) {
            const std::size_t end = endOf(tokens[last]);
            std::string bracketed = "(";
            bracketed += list.source.substr(tokens[first].at, end - tokens[first].at);
            bracketed += ")";
            addEdit(list, tokens[first].at, end - tokens[first].at, bracketed, "precedence", tokens[i].line);
        }
    }
}

bool isKeyword(const Token& token) {
    static const char* const words[] = {"if", "else", "for", "while", "do", "switch", "case", "default",
                                        "break", "continue", "return", "goto", "double", "int", "float",
                                        "long", "char", "short", "unsigned", "signed", "static", "const",
                                        "void", "printf", "puts", "putchar", "exit"};
    for (const char* word : words) {
        if (is(token, word)) {
            return true;
        }
    }
    return false;
}

// Where a statement starts whose value goes nowhere ("x(2*t+1);" for
// "return x(2*t+1);"), and the closing brace a path reaches without one.
void addReturnEdits(const Tokens& tokens, const EditList& list) {
    std::vector<bool> conditionEnd(tokens.size(), false);
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if ((is(tokens[i], "if") || is(tokens[i], "while") || is(tokens[i], "for")) && is(tokens[i + 1], "(")) {
            const std::size_t close = closing(tokens, i + 1);
            if (close < tokens.size()) {
                conditionEnd[close] = true;
            }
        }
    }
    int depth = 0;
    for (std::size_t i = 1; i + 1 < tokens.size(); ++i) {
        depth += is(tokens[i - 1], "(") ? 1 : is(tokens[i - 1], ")") ? -1 : 0;
        const Token& previous = tokens[i - 1];
        const bool start = depth == 0 && (is(previous, ";") || is(previous, "{") || is(previous, "}") ||
                                          is(previous, "else") || conditionEnd[i - 1]);
        if (!start || isKeyword(tokens[i]) || is(tokens[i], "}") || is(tokens[i], "{") || is(tokens[i], ";")) {
            continue;
        }
        bool assigns = false;
        std::size_t end = i;
        for (; end < tokens.size() && !is(tokens[end], ";") && !is(tokens[end], "{") && !is(tokens[end], "}"); ++end) {
            const std::string& text = tokens[end].text;
            assigns = assigns || (text.size() <= 2 && text.back() == '=' && text != "==" && text != "<=" &&
                                  text != ">=" && text != "!=") ||
                      text == "++" || text == "--";
        }
        if (!assigns && end < tokens.size() && is(tokens[end], ";")) {
            addEdit(list, tokens[i].at, 0, "return ", "return", tokens[i].line);
        }
    }
    const Token& last = tokens.back();
    if (tokens.size() > 2 && !is(tokens[tokens.size() - 2], ";")) {
        return;
    }
    addEdit(list, last.at, 0, "return 0; ", "return", last.line);
}

void addStatementEdits(const Tokens& tokens, const EditList& list) {
    // What C allows only on whole numbers keeps an int an int.
    const bool wholeOnly = std::any_of(tokens.begin(), tokens.end(), [](const Token& token) {
        static const char* const operators[] = {"%", "%=", "switch", "[", "<<", ">>", "&", "|", "^", "~"};
        return std::any_of(std::begin(operators), std::end(operators), [&token](const char* op) { return is(token, op); });
    });
    std::size_t switchDepth = 0;
    for (std::size_t i = 1; i + 2 < tokens.size(); ++i) {
        const Token& token = tokens[i];
        switchDepth += is(token, "switch") ? 1 : 0;
        if ((is(token, "int") && !wholeOnly) || is(token, "float")) {
            replaceToken(list, token, "double", "int-double");
        } else if (is(token, "abs") && is(tokens[i + 1], "(")) {
            replaceToken(list, token, "fabs", "fabs");
        } else if ((is(token, "case") || is(token, "default")) && switchDepth > 0 && is(tokens[i - 1], ";") &&
                   i >= 2 && !is(tokens[i - 2], "break")) {
            addEdit(list, token.at, 0, "break; ", "break", tokens[i - 1].line);  // the case that runs on
        } else if (is(token, "=")) {
            int depth = 0;
            for (std::size_t j = i; j-- > 0 && depth >= 0;) {
                depth += is(tokens[j], ")") ? 1 : is(tokens[j], "(") ? -1 : 0;
                if (depth < 0 && j > 0 && (is(tokens[j - 1], "if") || is(tokens[j - 1], "while"))) {
                    replaceToken(list, token, "==", "assignment");
                    break;
                }
            }
        }
        const bool declares = is(token, "double") || is(token, "int") || is(token, "float");
        if (declares && isName(tokens[i + 1]) && (is(tokens[i + 2], ";") || is(tokens[i + 2], ","))) {
            addEdit(list, endOf(tokens[i + 1]), 0, " = 0", "initialiser", tokens[i + 1].line);
        }
        if (declares && isName(tokens[i + 1]) && is(tokens[i + 2], ",")) {
            for (std::size_t j = i + 3; j + 1 < tokens.size() && !is(tokens[j], ";"); ++j) {
                if (isName(tokens[j]) && (is(tokens[j + 1], ",") || is(tokens[j + 1], ";")) && is(tokens[j - 1], ",")) {
                    addEdit(list, endOf(tokens[j]), 0, " = 0", "initialiser", tokens[j].line);
                }
            }
        }
    }
}

// Whether the statement before tokens[i] is "if (...) statement;" with no
// else, so that an else may join it.
bool followsPlainIf(const Tokens& tokens, std::size_t i) {
    if (i < 2 || !is(tokens[i - 1], ";")) {
        return false;
    }
    std::size_t start = i - 1;
    while (start > 0 && !is(tokens[start - 1], ";") && !is(tokens[start - 1], "{") && !is(tokens[start - 1], "}")) {
        --start;
    }
    if (!is(tokens[start], "if") || start + 1 >= i || !is(tokens[start + 1], "(")) {
        return false;
    }
    const std::size_t close = closing(tokens, start + 1);
    for (std::size_t j = close + 1; j + 1 < i; ++j) {
        if (is(tokens[j], "if") || is(tokens[j], "else") || is(tokens[j], "{")) {
            return false;
        }
    }
    return close + 1 < i - 1;
}

// "if (...) a; b;" meant with braces around both statements.
void addBraces(const Tokens& tokens, std::size_t close, const EditList& list) {
    std::size_t first = close + 1;
    std::size_t second = first;
    while (second < tokens.size() && !is(tokens[second], ";") && !is(tokens[second], "{") && !is(tokens[second], "}")) {
        ++second;
    }
    std::size_t end = second + 1;
    while (end < tokens.size() && !is(tokens[end], ";") && !is(tokens[end], "{") && !is(tokens[end], "}")) {
        ++end;
    }
    if (first >= second || end >= tokens.size() || !is(tokens[second], ";") || !is(tokens[end], ";") ||
        is(tokens[first], "return") || isKeyword(tokens[second + 1]) || tokens[second + 1].line == tokens[first].line) {
        return;
    }
    // Both edits as one: the text from the first statement to the end of the second.
    const std::size_t from = tokens[first].at;
    addEdit(list, from, endOf(tokens[end]) - from, "{ " + list.source.substr(from, endOf(tokens[end]) - from) + " }",
             "braces", tokens[second + 1].line);
}

// "3 <= t <= 4", which C reads as (3 <= t) <= 4, for "3 <= t && t <= 4".
void addChainedComparisons(const Tokens& tokens, const EditList& list) {
    auto comparison = [](const Token& token) {
        return is(token, "<") || is(token, "<=") || is(token, ">") || is(token, ">=");
    };
    for (std::size_t i = 1; i + 3 < tokens.size(); ++i) {
        if ((isNumber(tokens[i - 1]) || isName(tokens[i - 1])) && comparison(tokens[i]) && isName(tokens[i + 1]) &&
            comparison(tokens[i + 2]) && (isNumber(tokens[i + 3]) || isName(tokens[i + 3]))) {
            addEdit(list, endOf(tokens[i + 1]), 0, " && " + tokens[i + 1].text, "chained", tokens[i].line);
        }
    }
}

// Slips of punctuation: "if (...);", "sum =+ v", "1,5" for 1.5, and an
// if where an else if is meant.
void addPunctuationEdits(const Tokens& tokens, const EditList& list) {
    for (std::size_t i = 1; i + 1 < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (is(token, "if") && is(tokens[i + 1], "(")) {
            const std::size_t close = closing(tokens, i + 1);
            addBraces(tokens, close, list);
            if (close + 2 < tokens.size() && is(tokens[close + 1], ";") && !is(tokens[close + 2], "}") &&
                !is(tokens[close + 2], "else")) {
                replaceToken(list, tokens[close + 1], "", "semicolon");
            }
            if (followsPlainIf(tokens, i)) {
                addEdit(list, token.at, 0, "else ", "else", token.line);
            }
        } else if (is(token, "=") && (is(tokens[i + 1], "+") || is(tokens[i + 1], "-")) &&
                   tokens[i + 1].at == endOf(token)) {
            addEdit(list, token.at, 2, tokens[i + 1].text + "=", "compound", token.line);
        } else if (is(token, ",") && isNumber(tokens[i - 1]) && isNumber(tokens[i + 1]) &&
                   tokens[i - 1].text.find('.') == std::string::npos) {
            int depth = 0;
            std::size_t open = i;
            for (; open-- > 0;) {
                depth += is(tokens[open], ")") ? 1 : is(tokens[open], "(") ? -1 : 0;
                if (depth < 0 || is(tokens[open], ";") || is(tokens[open], "{")) {
                    break;
                }
            }
            const bool inCall = open < i && depth < 0 && open > 0 && isName(tokens[open - 1]);
            if (!inCall) {
                addEdit(list, tokens[i - 1].at, endOf(tokens[i + 1]) - tokens[i - 1].at,
                         tokens[i - 1].text + "." + tokens[i + 1].text, "comma", token.line);
            }
        }
    }
}

void addCallEdits(const Tokens& tokens, const EditList& list) {
    static const char* const signals[] = {"x", "y", "z", "r", "u"};
    for (std::size_t i = 1; i + 1 < tokens.size(); ++i) {
        if (!is(tokens[i + 1], "(") || is(tokens[i - 1], ".") || is(tokens[i - 1], "->")) {
            continue;
        }
        for (const char* from : signals) {
            for (const char* to : signals) {
                if (is(tokens[i], from) && std::strcmp(from, to) != 0) {
                    replaceToken(list, tokens[i], to, "call");
                }
            }
        }
    }
}

const char* const mathFunctions[] = {"pow", "sqrt", "fabs", "exp", "log", "sin", "cos", "tan",
                                     "floor", "ceil", "round", "fmod", "atan2", "fmin", "fmax"};
}  // namespace

FunctionSpan findFunctionSpan(const std::string& source, const std::string& name) {
    const Tokens tokens = tokenize(source);
    int depth = 0;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        depth += is(tokens[i], "{") ? 1 : is(tokens[i], "}") ? -1 : 0;
        if (depth != 0 || tokens[i].text != name || !is(tokens[i + 1], "(")) {
            continue;
        }
        const std::size_t close = closing(tokens, i + 1);
        if (close + 1 < tokens.size() && is(tokens[close + 1], "{")) {
            const std::size_t end = closing(tokens, close + 1);
            if (end < tokens.size()) {
                return {true, tokens[i + 1].at, endOf(tokens[end])};
            }
        }
    }
    return {};
}

std::vector<SourceEdit> slipEdits(const std::string& source, const FunctionSpan& span,
                                  const std::vector<double>& examNumbers, bool mathDeclared) {
    std::vector<SourceEdit> edits;
    const Tokens tokens = functionTokens(source, span);
    if (tokens.empty()) {
        return edits;
    }
    const EditList list{source, &edits};
    if (!mathDeclared && !mathCallsIn(source, span).empty()) {
        addEdit(list, 0, 0, "", "include", 1);
    }
    addCallEdits(tokens, list);  // first: a function that calls itself crashes its other candidates
    addStatementEdits(tokens, list);
    addReturnEdits(tokens, list);
    addOperatorEdits(tokens, list);
    addPrecedenceEdits(tokens, list);
    addPunctuationEdits(tokens, list);
    addChainedComparisons(tokens, list);
    addNumberEdits(tokens, examNumbers, list);
    return edits;
}

std::string editedFunction(const std::string& source, const FunctionSpan& span,
                           const std::vector<const SourceEdit*>& edits) {
    std::vector<const SourceEdit*> ordered = edits;
    std::sort(ordered.begin(), ordered.end(), [](const SourceEdit* a, const SourceEdit* b) { return a->at > b->at; });
    std::string text = source.substr(0, span.end);
    bool declareMath = false;
    for (const SourceEdit* edit : ordered) {
        if (std::strcmp(edit->kind, "include") == 0) {
            declareMath = true;
        } else {
            text.replace(edit->at, edit->length, edit->text);
        }
    }
    std::string function = text.substr(span.parameters);
    if (declareMath) {
        // The math functions as math.h declares them, under names of their own.
        const std::vector<std::string> calls = mathCallsIn(source, span);
        for (const std::string& call : calls) {
            for (std::size_t at = 0; (at = function.find(call, at)) != std::string::npos; at += call.size()) {
                const bool alone = (at == 0 || !isNameChar(function[at - 1])) &&
                                   (at + call.size() >= function.size() || !isNameChar(function[at + call.size()]));
                if (alone) {
                    function.insert(at, "repairMath_");
                    at += std::strlen("repairMath_");
                }
            }
        }
    }
    return function;
}

const char* slipWords(const char* kind) {
    static const char* const words[][2] = {
        {"comparison", "a comparison: < for <=, > for >=, or one turned round"},
        {"sign", "a sign: + for -, or a minus sign too many or too few"},
        {"operator", "an operator: * for /, or / for *"},
        {"number", "a number that is not the one meant"},
        {"integer-division", "a division of two whole numbers, which C rounds to a whole number"},
        {"precedence", "brackets left out: * and / bind before + and -"},
        {"int-double", "an int where a double is meant: an int keeps no fraction"},
        {"fabs", "abs for fabs: abs takes and gives an int, so the fraction is lost"},
        {"break", "a missing break: without it the next case runs on"},
        {"return", "a missing return: the value is worked out and then dropped"},
        {"initialiser", "a variable read before it is set"},
        {"assignment", "= for == in a condition: = sets the variable, and the test is its new value"},
        {"call", "the other signal called, or x or y for the step u"},
        {"logic", "&& for ||, or || for &&"},
        {"braces", "braces left out: without { } only the first statement belongs to the if"},
        {"chained", "a chained comparison: C reads a <= t <= b as (a <= t) <= b, which is always true; "
                    "write a <= t && t <= b"},
        {"semicolon", "a semicolon after if (...), which ends the if there: what follows runs always"},
        {"else", "an if where else if is meant: a later if undoes what an earlier one set"},
        {"comma", "a decimal comma: in C, 1,5 is the comma operator and gives 5; write 1.5"},
        {"compound", "=+ for +=: =+ sets the variable to the value, instead of adding it"},
        {"include", "#include <math.h> missing: without it C takes its functions to return an int"},
    };
    for (const auto& word : words) {
        if (std::strcmp(word[0], kind) == 0) {
            return word[1];
        }
    }
    return "a slip";
}

std::vector<std::string> mathCallsIn(const std::string& source, const FunctionSpan& span) {
    std::vector<std::string> calls;
    const Tokens tokens = functionTokens(source, span);
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        for (const char* name : mathFunctions) {
            if (is(tokens[i], name) && is(tokens[i + 1], "(") &&
                std::find(calls.begin(), calls.end(), name) == calls.end()) {
                calls.emplace_back(name);
            }
        }
    }
    return calls;
}

bool includesMath(const std::string& source) {
    for (std::size_t at = 0; (at = source.find("#include", at)) != std::string::npos; ++at) {
        const std::size_t end = source.find('\n', at);
        const std::string line = source.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.find("math.h") != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool mayLoop(const std::string& source, const FunctionSpan& span) {
    const Tokens tokens = functionTokens(source, span);
    return std::any_of(tokens.begin(), tokens.end(), [](const Token& token) {
        return is(token, "while") || is(token, "for") || is(token, "do") || is(token, "goto");
    });
}
