#include "key/model/key_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "key/model/exam_variants.h"

namespace {
constexpr double infinity = std::numeric_limits<double>::infinity();

// A sum of coefficient*factor terms written as C: "1*" and "+ -" never appear.
std::string formatSum(const std::vector<std::pair<double, std::string>>& terms) {
    std::string text;
    for (const auto& [coefficient, factor] : terms) {
        if (coefficient == 0) {
            continue;
        }
        const bool negative = coefficient < 0;
        if (!text.empty()) {
            text += negative ? " - " : " + ";
        } else if (negative) {
            text += '-';
        }
        const double magnitude = negative ? -coefficient : coefficient;
        if (factor.empty()) {
            text += formatNumber(magnitude);
        } else if (magnitude == 1) {
            text += factor;
        } else {
            text += formatNumber(magnitude) + "*" + factor;
        }
    }
    return text.empty() ? "0" : text;
}

// "t-1.5", "t+0.5" or "t": the argument of a step at `at`.
std::string shiftedTime(double at) {
    if (at == 0) {
        return "t";
    }
    return at > 0 ? "t-" + formatNumber(at) : "t+" + formatNumber(-at);
}

struct Line {
    std::string expression;
    std::string condition;
};

// The condition of one piece. Neighbouring lines both take a shared end
// where the signal is continuous; at a jump the later one leaves it out. A
// piece next to one left to "otherwise" takes its end whatever the values.
std::string condition(const Signal& signal, std::size_t index, bool afterALine) {
    const Piece& piece = signal.pieces[index];
    const bool jumpAtStart = afterALine && pieceValue(signal.pieces[index - 1], piece.from) !=
                                               pieceValue(piece, piece.from);
    if (piece.from == -infinity) {
        return piece.to == infinity ? "all t" : "t <= " + formatNumber(piece.to);
    }
    if (piece.to == infinity) {
        return jumpAtStart ? "t > " + formatNumber(piece.from) : "t >= " + formatNumber(piece.from);
    }
    return formatNumber(piece.from) + (jumpAtStart ? " < t <= " : " <= t <= ") +
           formatNumber(piece.to);
}

// Writes "name = expression  for condition" lines, the expressions aligned.
// Pieces that are 0 are left to a closing "0 otherwise" when skipZero is set.
void printPieces(std::FILE* out, const char* name, const Signal& signal, bool skipZero) {
    std::vector<Line> lines;
    bool afterALine = false;
    for (std::size_t i = 0; i < signal.pieces.size(); ++i) {
        const Piece& piece = signal.pieces[i];
        if (skipZero && piece.c0 == 0 && piece.c1 == 0 && piece.c2 == 0) {
            afterALine = false;
            continue;
        }
        lines.push_back({formatPolynomial(piece), "for " + condition(signal, i, afterALine)});
        afterALine = true;
    }
    if (skipZero) {
        lines.push_back({"0", lines.empty() ? "" : "otherwise"});
    }
    std::size_t width = 0;
    for (const Line& line : lines) {
        width = std::max(width, line.expression.size());
    }
    const std::string indent(std::strlen(name) + 3, ' ');
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::fprintf(out, "  %s%s", i == 0 ? name : "", i == 0 ? " = " : indent.c_str());
        if (lines[i].condition.empty()) {
            std::fprintf(out, "%s\n", lines[i].expression.c_str());
        } else {
            std::fprintf(out, "%-*s  %s\n", static_cast<int>(width), lines[i].expression.c_str(),
                         lines[i].condition.c_str());
        }
    }
}

}  // namespace

std::string formatPolynomial(const Piece& piece) {
    return formatSum({{piece.c2, "t*t"}, {piece.c1, "t"}, {piece.c0, ""}});
}

std::string formatStepSum(const std::vector<StepTerm>& terms) {
    std::vector<std::pair<double, std::string>> parts;
    for (const StepTerm& term : terms) {
        const std::string argument = shiftedTime(term.at);
        const std::string step = "u(" + argument + ")";
        parts.emplace_back(term.step, step);
        std::string ramp = term.at == 0 ? "t" : "(" + argument + ")";
        ramp += "*" + step;
        parts.emplace_back(term.ramp, ramp);
    }
    return formatSum(parts);
}

void printAnswers(std::FILE* out, const ExamRecord& record, const AnswerKey& key) {
    if (record.idNum == 0) {
        // A key asked for by its variant belongs to no student.
        std::fprintf(out, "Answer key of the mock midterm, variant %d of %d\n\n",
                     variantOfRecord(record), variantCount);
    } else {
        std::fprintf(out, "Answer key of the mock midterm for ID %ld, group %d\n\n",
                     static_cast<long>(record.idNum), record.grpNum);
    }
    std::fprintf(out, "QUESTION 1: x(t)\n");
    printPieces(out, "x(t)", key.x, true);
    std::fprintf(out, "\nQUESTION 2: %s\n", formatTransform(key.scale, key.shift).c_str());
    printPieces(out, "y(t)", key.y, true);
    std::fprintf(out, "\nQUESTION 3: y(t) with steps u(t) and ramps t*u(t)\n");
    std::fprintf(out, "  z(t) = %s\n", formatStepSum(key.z).c_str());
    std::fprintf(out, "\nQUESTION 4: r(t), the running integral of x(t)\n");
    printPieces(out, "r(t)", key.r, false);

    // The bonus question is in the typeset exam only, once its window is drawn.
    if (record.varAmp != 1 && record.varAmp != -1) {
        return;
    }
    const double start = record.varTstart;
    const double end = record.varTend;
    const double atStart = rightValue(key.r, start);
    const double atEnd = rightValue(key.r, end);
    const double area = record.varAmp * (atEnd - atStart);
    const char* sign = record.varAmp < 0 ? "-" : "";
    std::fprintf(out, "\nQUESTION 5 (BONUS): the area under %sx(t) from t = %s to %s\n", sign,
                 formatNumber(start).c_str(), formatNumber(end).c_str());
    std::fprintf(out, "  A = %s(r(%s) - r(%s)) = %s(%s - %s) = %s\n", sign,
                 formatNumber(end).c_str(), formatNumber(start).c_str(), sign,
                 formatNumber(atEnd).c_str(), formatNumber(atStart).c_str(),
                 formatNumber(area).c_str());
}
