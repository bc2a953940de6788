// The search compiles every candidate into one program with the student's
// file in front, so a candidate calls the student's own u, x and helpers;
// the program tries them in order and writes, flushed, which are right, so
// a candidate that crashes or hangs costs one restart after it.
#include "key/repairs/repairs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "generate/text_file.h"
#include "key/mistakes/mistake_tools.h"
#include "key/reading/repair_edits.h"
#include "key/base/scratch.h"
#include "key/repairs/value_facts.h"
#include "key/running/student_program.h"
#include "platform/platform.h"

namespace {
// Enough for the single edits of a long function and the likeliest pairs;
// tcc compiles them in tens of milliseconds.
constexpr std::size_t mostCandidates = 2500;
constexpr int mostRestarts = 6;
constexpr int candidateSeconds = 2;


// Every number the exam's questions are made of, which a slip may have put
// in place of another.
std::vector<double> examNumberList(const AnswerKey& key) {
    std::set<double> numbers = {0, 0.5, 1, 2, -1};
    for (const Signal* signal : {&key.x, &key.y, &key.r}) {
        for (const Piece& piece : signal->pieces) {
            for (double value : {piece.from, piece.c0, piece.c1, piece.c2}) {
                if (std::isfinite(value)) {
                    numbers.insert(value);
                    numbers.insert(-value);
                }
            }
        }
    }
    for (double value : {static_cast<double>(key.shift), key.shift / 2.0}) {
        numbers.insert(value);
        numbers.insert(-value);
    }
    return {numbers.begin(), numbers.end()};
}

bool overlaps(const SourceEdit& a, const SourceEdit& b) {
    return a.at == b.at || (a.at < b.at + b.length && b.at < a.at + a.length);
}

// The single edits, or pairs of edits that change no number, which a
// search of every pair could not afford.
std::vector<Candidate> candidatesOf(const std::vector<SourceEdit>& edits, bool pairs) {
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < edits.size() && candidates.size() < mostCandidates; ++i) {
        if (!pairs) {
            candidates.push_back({&edits[i]});
        }
        for (std::size_t j = i + 1; pairs && j < edits.size() && candidates.size() < mostCandidates; ++j) {
            const bool numbers = std::strcmp(edits[i].kind, "number") == 0 || std::strcmp(edits[j].kind, "number") == 0;
            if (!numbers && !overlaps(edits[i], edits[j])) {
                candidates.push_back({&edits[i], &edits[j]});
            }
        }
    }
    return candidates;
}

std::string hexNumber(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

std::string mathWrappers(const std::vector<std::string>& calls) {
    std::string text;
    for (const std::string& call : calls) {
        const bool two = call == "pow" || call == "fmod" || call == "atan2" || call == "fmin" || call == "fmax";
        text += "static double repairMath_";
        text += call;
        text += two ? "(double a, double b) { return ((double (*)(double, double))" : "(double a) { return ((double (*)(double))";
        text += call;
        text += two ? ")(a, b); }\n" : ")(a); }\n";
    }
    return text;
}

// The runner: each candidate at every point, right only when every value
// is, as the grading judges one; a candidate right everywhere runs again
// twice over a stack filled before each call with other bytes, which a
// value read before it is set shows. Most candidates fail early and cheaply.
const char* const runnerSource =
    "#include <stdio.h>\n#include <stdlib.h>\n#include <string.h>\n"
    "#ifdef _WIN32\n#include <direct.h>\n#define chdir _chdir\n#else\n#include <unistd.h>\n#endif\n"
    "static void repairFill(int pattern) { volatile char area[8192]; memset((char *)area, pattern, sizeof area); }\n"
    "static int repairRight(double v, double a, double b) {\n"
    "    double da = v - a, db = v - b;\n"
    "    if (!(v - v == 0)) return 0;\n"
    "    return (da <= 1e-9 && da >= -1e-9) || (db <= 1e-9 && db >= -1e-9);\n}\n"
    "static int repairFolder(const char *program) {\n"
    "    char folder[512]; size_t n = strlen(program);\n"
    "    while (n > 0 && program[n - 1] != '/' && program[n - 1] != '\\\\') --n;\n"
    "    if (n == 0) return 0;\n    if (n >= sizeof folder) return -1;\n"
    "    memcpy(folder, program, n); folder[n] = 0; return chdir(folder);\n}\n"
    "int main(int argc, char **argv) {\n"
    "    int k, i, p, ok; FILE *out;\n"
    "    double (*const *table)(double); const double *before, *after;\n"
    "    const int points = (int)(sizeof repairTimes / sizeof repairTimes[0]);\n"
    "    const char *f = argv[2];\n"
    "    if (argc != 4 || repairFolder(argv[0]) != 0) return 2;\n"
    "    if ((out = fopen(argv[1], \"a\")) == 0) return 2;\n"
    "    for (k = atoi(argv[3]); *f != 0; ++f, k = 0)\n"
    "    for (; ; ++k) {\n"
    "        switch (*f) {\n"
    "        case 'x': table = repairCandidates_x; before = repairBefore_x; after = repairAfter_x; break;\n"
    "        case 'y': table = repairCandidates_y; before = repairBefore_y; after = repairAfter_y; break;\n"
    "        case 'z': table = repairCandidates_z; before = repairBefore_y; after = repairAfter_y; break;\n"
    "        default: table = repairCandidates_r; before = repairBefore_r; after = repairAfter_r; break;\n"
    "        }\n"
    "        if (table[k] == 0) break;\n"
    "        fprintf(out, \"%c %d\", *f, k); fflush(out);\n"
    "        repairFill(0);\n"
    "        for (ok = 1, p = 0; p < 3 && ok; ++p)\n"
    "            for (i = 0; i < points && ok; ++i) {\n"
    "                if (p > 0) repairFill(p == 1 ? 0x41 : 0xC1);\n"
    "                ok = repairRight(table[k](repairTimes[i]), before[i], after[i]);\n"
    "            }\n"
    "        fprintf(out, \" %d\\n\", ok); fflush(out);\n"
    "    }\n"
    "    fprintf(out, \"end\\n\");\n    return fclose(out) == 0 ? 0 : 2;\n}\n";

std::string expectedTable(const char* name, const Signal& signal, const std::vector<GradePoint>& points, bool before) {
    std::string table = std::string("static const double ") + name + "[] = {\n";
    for (const GradePoint& point : points) {
        table += hexNumber(before ? leftValue(signal, point.t) : rightValue(signal, point.t)) + ",\n";
    }
    return table + "};\n";
}

// One program for the candidates of every function in the session, so that
// an attempt costs one compile however many of its functions are wrong.
std::string repairProgram(const RepairRequest& request, const RepairSession& session) {
    std::vector<std::string> mathCalls;
    for (const FunctionCandidates& function : session.functions) {
        for (const std::string& call : mathCallsIn(request.source, function.span)) {
            if (std::find(mathCalls.begin(), mathCalls.end(), call) == mathCalls.end()) {
                mathCalls.push_back(call);
            }
        }
    }
    std::string text = request.source + "\n\n" + mathWrappers(mathCalls);
    std::string tables;
    for (const char letter : {'x', 'y', 'z', 'r'}) {
        const std::string suffix(1, letter);
        tables += "static double (*const repairCandidates_" + suffix + "[])(double) = {\n";
        for (const FunctionCandidates& function : session.functions) {
            for (std::size_t k = 0; function.function == letter && k < function.candidates.size(); ++k) {
                const std::string name = "repairCandidate_" + suffix + std::to_string(k);
                text += "static double " + name + editedFunction(request.source, function.span, function.candidates[k]) + "\n";
                tables += name + ",\n";
            }
        }
        tables += "0};\n";
    }
    std::string times = "static const double repairTimes[] = {\n";
    for (const GradePoint& point : request.points) {
        times += hexNumber(point.t) + ",\n";
    }
    const AnswerKey& key = request.key;
    return text + tables + times + "};\n" + expectedTable("repairBefore_x", key.x, request.points, true) +
           expectedTable("repairAfter_x", key.x, request.points, false) +
           expectedTable("repairBefore_y", key.y, request.points, true) +
           expectedTable("repairAfter_y", key.y, request.points, false) +
           expectedTable("repairBefore_r", key.r, request.points, true) +
           expectedTable("repairAfter_r", key.r, request.points, false) + runnerSource;
}

// Writes and compiles the program of the session's candidates. Returns
// whether it is there to run.
bool compileCandidates(const RepairRequest& request, const RepairSession& session, const char* sourceName,
                       const char* programName) {
    if (writeTextFile(scratchPath(sourceName).c_str(), repairProgram(request, session), nullptr, scratchFileOps()) != 0) {
        return false;
    }
    const std::string compile = std::string("tcc.exe -w -o ") + programName + " " + sourceName;
    return ranAndSucceeded(runCandidatesQuietly(request.services, compile, request.timeLimitSeconds));
}

// Makes the single edits of this function and those graded after it, and
// compiles them once.
void buildSession(const RepairRequest& request, RepairSession* session) {
    session->built = true;
    const std::string order = "xyzr";
    const std::vector<double> numbers = examNumberList(request.key);
    const bool mathDeclared = includesMath(request.source);
    session->functions.reserve(order.size());
    for (std::size_t i = order.find(request.function); i < order.size(); ++i) {
        session->functions.emplace_back();
        FunctionCandidates& function = session->functions.back();
        function.function = order[i];
        function.span = findFunctionSpan(request.source, std::string(1, order[i]));
        if (function.span.found) {
            function.edits = slipEdits(request.source, function.span, numbers, mathDeclared);
            function.candidates = candidatesOf(function.edits, false);
            function.mayLoop = mayLoop(request.source, function.span);
        }
    }
    session->compiled = compileCandidates(request, *session, repairSourceName, repairProgramName);
}

// Runs the candidates of every function in the session from `function` on,
// and notes in each which are right; a candidate that crashes costs a
// restart after it, one that hangs ends the search.
void runCandidates(const RepairRequest& request, const char* programName, std::vector<FunctionCandidates>* functions) {
    std::remove(scratchPath(repairResultsName).c_str());
    // With this function, those graded after it that cannot loop: an edit of
    // a loop may hang, which would cost a right function seconds.
    std::string letters(1, request.function);
    for (const FunctionCandidates& function : *functions) {
        if (function.function != request.function && !function.run && !function.mayLoop &&
            std::string("xyzr").find(function.function) > std::string("xyzr").find(request.function)) {
            letters += function.function;
        }
    }
    char from = request.function;
    std::size_t start = 0;
    for (int run = 0; run <= mostRestarts && from != 0; ++run) {
        const std::string command = std::string(".\\") + programName + " " + repairResultsName + " " +
                                    letters.substr(letters.find(from)) + " " + std::to_string(start);
        const RunResult status = runCandidatesQuietly(request.services, command, candidateSeconds);
        std::string results;
        readWholeFile(scratchPath(repairResultsName).c_str(), &results);
        // A line without its result is the candidate that crashed or hung.
        bool ended = false;
        for (std::size_t at = 0; at < results.size();) {
            const std::size_t end = std::min(results.find('\n', at), results.size());
            const std::string line = results.substr(at, end - at);
            at = end + 1;
            ended = ended || line == "end";
            // "f k" as the candidate starts, " 1" or " 0" once it is judged.
            if (line.size() < 3 || line[1] != ' ' || std::string("xyzr").find(line[0]) == std::string::npos) {
                continue;
            }
            char* rest = nullptr;
            const std::size_t index = std::strtoul(line.c_str() + 2, &rest, 10);
            for (FunctionCandidates& function : *functions) {
                std::vector<std::size_t>& right = function.right;
                if (function.function == line[0] && std::string(rest) == " 1" &&
                    std::find(right.begin(), right.end(), index) == right.end()) {
                    right.push_back(index);
                }
            }
            from = line[0];
            start = index + 1;
        }
        const std::size_t stoppedIn = letters.find(from);
        for (FunctionCandidates& function : *functions) {
            // Those before the one it stopped in were run to their end; the
            // one that hung keeps what was tried.
            const std::size_t place = letters.find(function.function);
            function.run = function.run || (place != std::string::npos &&
                                            (ended || place < stoppedIn || (place == stoppedIn && status.timedOut)));
        }
        if (ended || status.timedOut) {
            break;  // a candidate that hangs costs seconds: what was tried must do
        }
    }
}

// The right candidates of fewest edits, in the order tried.
std::vector<Candidate> fewestRight(const FunctionCandidates& function) {
    std::vector<std::size_t> right = function.right;
    std::sort(right.begin(), right.end());
    std::vector<Candidate> fewest;
    for (std::size_t index : right) {
        if (index < function.candidates.size() &&
            (fewest.empty() || function.candidates[index].size() == fewest.front().size())) {
            fewest.push_back(function.candidates[index]);
        }
    }
    return fewest;
}

// The function's verified repairs: single edits, and pairs of edits only
// where no single edit and no mistake of the catalogue explain it, as
// pairs cost a compile of their own.
std::vector<Candidate> verifiedRepairs(const RepairRequest& request, bool catalogueNamed) {
    if (!request.session->built) {
        buildSession(request, request.session);
    }
    FunctionCandidates* mine = nullptr;
    for (FunctionCandidates& function : request.session->functions) {
        mine = function.function == request.function ? &function : mine;
    }
    if (mine == nullptr || !request.session->compiled || mine->candidates.empty()) {
        return {};
    }
    if (!mine->run) {
        runCandidates(request, repairProgramName, &request.session->functions);
    }
    std::vector<Candidate> fewest = fewestRight(*mine);
    if (!fewest.empty() || catalogueNamed) {
        return fewest;
    }
    RepairSession pairs;
    pairs.functions.push_back({mine->function, mine->span, {}, candidatesOf(mine->edits, true), {}});
    if (pairs.functions.front().candidates.empty() ||
        !compileCandidates(request, pairs, pairsSourceName, pairsProgramName)) {
        return {};
    }
    runCandidates(request, pairsProgramName, &pairs.functions);
    return fewestRight(pairs.functions.front());
}

std::string lineOf(const std::string& source, std::size_t at) {
    const std::size_t begin = source.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = begin == std::string::npos || at == 0 ? 0 : begin + 1;
    const std::size_t end = std::min(source.find('\n', at), source.size());
    std::string line = source.substr(from, end - from);
    line.erase(0, std::min(line.find_first_not_of(" \t"), line.size()));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// The line as the edit makes it.
std::string editedLine(const std::string& source, const SourceEdit& edit) {
    std::string text = source;
    text.replace(edit.at, edit.length, edit.text);
    return lineOf(text, edit.at);
}
}  // namespace

namespace {
std::string withCheck(const std::string& text, const std::string& check) {
    return check.empty() ? text : text + "\n" + check;
}

std::string repairText(const RepairRequest& request, const std::vector<const SourceEdit*>& edits,
                       const std::string& check) {
    const std::string your = yours(request.function);
    const SourceEdit& first = *edits.front();
    std::string text;
    if (std::strcmp(first.kind, "include") == 0) {
        const FunctionSpan span = findFunctionSpan(request.source, std::string(1, request.function));
        const std::string call = mathCallsIn(request.source, span).front();
        text = "tcc warns: implicit declaration of function '" + call + "'. signals.c does not include "
               "math.h, so C takes " + call + " to return an int and " + your +
               " gets a wrong value; with #include <math.h> it is right.";
        return withCheck(text, check);
    }
    text = "line " + std::to_string(first.line) + " of signals.c, in " + your + ": " + slipWords(first.kind);
    if (edits.size() > 1) {
        text += "; and line " + std::to_string(edits[1]->line) + ": " + slipWords(edits[1]->kind);
    }
    text += edits.size() > 1 ? ". Mending both makes it right at every time graded."
                             : ". Mending it makes it right at every time graded.";
    if (request.showEdits) {
        for (const SourceEdit* edit : edits) {
            text += "\nLine " + std::to_string(edit->line) + " would read: " + editedLine(request.source, *edit);
        }
    }
    return withCheck(text, check);
}

bool sameSlip(const std::vector<Candidate>& repairs) {
    for (const Candidate& repair : repairs) {
        if (repair.size() != repairs.front().size()) {
            return false;
        }
        for (std::size_t i = 0; i < repair.size(); ++i) {
            if (repair[i]->line != repairs.front()[i]->line ||
                std::strcmp(repair[i]->kind, repairs.front()[i]->kind) != 0) {
                return false;
            }
        }
    }
    return true;
}

// The repairs of fewest edits; when they disagree on the line or the kind,
// what they share is said, or nothing is certain.
Diagnosis repairDiagnosis(const RepairRequest& request, const std::vector<Candidate>& repairs,
                          const std::string& check) {
    if (repairs.empty()) {
        return {};
    }
    if (sameSlip(repairs)) {
        return {std::string("repair.") + repairs.front().front()->kind, repairText(request, repairs.front(), check)};
    }
    // A number of the exam can stand in for many slips: beside one slip of
    // another kind on the same line, that slip is the one made.
    std::vector<Candidate> slips;
    for (const Candidate& repair : repairs) {
        if (repair.size() == 1 && std::strcmp(repair.front()->kind, "number") != 0) {
            slips.push_back(repair);
        }
    }
    if (!slips.empty() && slips.size() < repairs.size() && sameSlip(slips) &&
        std::all_of(repairs.begin(), repairs.end(), [&slips](const Candidate& repair) {
            return repair.size() == 1 && repair.front()->line == slips.front().front()->line;
        })) {
        return {std::string("repair.") + slips.front().front()->kind, repairText(request, slips.front(), check)};
    }
    const int line = repairs.front().front()->line;
    for (const Candidate& repair : repairs) {
        if (repair.size() != 1 || repair.front()->line != line) {
            return {uncertainKind, ""};
        }
    }
    std::string kinds;
    for (const Candidate& repair : repairs) {
        const std::string words = slipWords(repair.front()->kind);
        if (kinds.find(words) == std::string::npos) {
            kinds += (kinds.empty() ? "" : "; or ") + words;
        }
    }
    return {"repair.line", withCheck("line " + std::to_string(line) + " of signals.c, in " + yours(request.function) +
                               ": one change there makes it right at every time graded: " + kinds + ".", check)};
}

// The catalogue's kind of C slip that an edit mends, or "".
std::string cOfSlip(const char* kind) {
    static const char* const pairs[][2] = {{"initialiser", "unset-variable"}, {"return", "missing-return"},
                                           {"integer-division", "integer-division"}, {"fabs", "abs-of-double"},
                                           {"comparison", "equality"}};
    for (const auto& pair : pairs) {
        if (std::strcmp(pair[0], kind) == 0) {
            return pair[1];
        }
    }
    return "";
}

// Slips that no value can show: where the catalogue guessed another cause
// from the values, the edit is the one verified.
bool showsOtherCause(const Diagnosis& repair, const Diagnosis& catalogue) {
    static const char* const slips[] = {"repair.break", "repair.include", "repair.assignment", "repair.return",
                                        "repair.initialiser", "repair.precedence", "repair.call",
                                        "repair.int-double", "repair.fabs", "repair.integer-division",
                                        "repair.logic", "repair.semicolon", "repair.braces", "repair.chained", "repair.else", "repair.comma",
                                        "repair.compound"};
    if (catalogue.kind.rfind("c.", 0) == 0) {
        return false;
    }
    if (catalogue.kind == "r.jumps") {
        return true;  // a fact about the values, which any verified cause outweighs
    }
    return std::any_of(std::begin(slips), std::end(slips), [&repair](const char* slip) { return repair.kind == slip; });
}
}  // namespace



Diagnosis diagnoseWithRepairs(const RepairRequest& request, const Diagnosis& catalogue) {
    const Signal& expected = request.function == 'x' ? request.key.x
                             : request.function == 'r' ? request.key.r : request.key.y;
    Candidates values(request.function, expected, request.points, request.values);
    // A run that stopped early has no value at most times to check.
    const std::string check = request.values.size() == request.points.size() ? values.check({}) : "";
    const bool catalogueNamed = !catalogue.kind.empty() && catalogue.kind != uncertainKind && catalogue.kind != "r.jumps";
    const std::vector<Candidate> fewest = verifiedRepairs(request, catalogueNamed);
    // Where the source shows a slip of C, the edits that mend that slip are
    // the ones that speak for it.
    std::vector<Candidate> matching;
    for (const Candidate& candidate : fewest) {
        if (candidate.size() == 1 && catalogue.kind == std::string("c.") + cOfSlip(candidate.front()->kind)) {
            matching.push_back(candidate);
        }
    }
    Diagnosis repair = repairDiagnosis(request, matching.empty() ? fewest : matching, check);
    const bool repaired = !repair.kind.empty() && repair.kind != uncertainKind;
    if (catalogueNamed && (!repaired || !showsOtherCause(repair, catalogue))) {
        // A slip of C the source shows, now with the line the repair found.
        const bool sameSlip = repaired && catalogue.kind.rfind("c.", 0) == 0 && repair.text.rfind("line ", 0) == 0;
        return sameSlip ? Diagnosis{catalogue.kind, repair.text.substr(0, repair.text.find(',')) + ": " + catalogue.text}
                        : catalogue;
    }
    if (repaired) {
        return repair;
    }
    if (!catalogue.kind.empty() && catalogue.kind != "r.jumps") {
        return catalogue;
    }
    // Tiny jumps of values close to the key's are said as the closeness.
    const Diagnosis facts = valueFacts(request.function, expected, request.points, request.values, check);
    return facts.kind.empty() || (facts.kind != "fact.close" && !catalogue.kind.empty()) ? catalogue : facts;
}
