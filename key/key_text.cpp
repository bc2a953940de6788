#include "key/key_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "key/variant.h"

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

void reportWriteFailure(const char* fileName) {
    std::fprintf(stderr, "mock-midterm-key: cannot write %s: %s\n", fileName, std::strerror(errno));
}

// Points of the signal from lo to hi, in order; a jump gives two points at
// one time, which gnuplot draws as the vertical edge q1.png has.
void writeSamples(std::FILE* out, const Signal& signal, double lo, double hi, double* smallest,
                  double* largest) {
    for (const Piece& piece : signal.pieces) {
        const double from = std::max(piece.from, lo);
        const double to = std::min(piece.to, hi);
        if (!(from < to)) {
            continue;
        }
        const int steps = piece.c2 != 0 ? 64 : 1;
        for (int i = 0; i <= steps; ++i) {
            const double t = from + (to - from) * i / steps;
            const double value = pieceValue(piece, t);
            *smallest = std::min(*smallest, value);
            *largest = std::max(*largest, value);
            std::fprintf(out, "%.17g %.17g\n", t, value);
        }
    }
    std::fprintf(out, "\n\n");  // ends one gnuplot data set
}

struct Panel {
    std::string title;
    double lo, hi;
    double smallest = 0, largest = 0;
};
}  // namespace

std::string formatNumber(double value) {
    if (value == 0) {
        value = std::fabs(value);  // never "-0"
    }
    char buffer[40];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : "?";
}

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
    std::fprintf(out, "\nQUESTION 2: y(t) = x(%dt%+d)\n", key.scale, key.shift);
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

int writeKeyPlot(const AnswerKey& key, const char* scriptName, const char* dataName,
                 const char* pngName) {
    Panel panels[] = {
        {"x(t)", key.xStart - 0.5, key.xEnd + 0.5},
        {"y(t) = x(" + std::to_string(key.scale) + "t" + (key.shift < 0 ? "" : "+") +
             std::to_string(key.shift) + ")",
         key.yStart - 0.5, key.yEnd + 0.5},
        {"r(t), the running integral of x(t)", key.xStart - 0.5, key.xEnd + 0.5},
    };
    const Signal* signals[] = {&key.x, &key.y, &key.r};

    std::FILE* data = std::fopen(dataName, "w");
    if (data == nullptr) {
        reportWriteFailure(dataName);
        return -1;
    }
    for (int i = 0; i < 3; ++i) {
        writeSamples(data, *signals[i], panels[i].lo, panels[i].hi, &panels[i].smallest,
                     &panels[i].largest);
    }
    const bool dataFailed = std::ferror(data) != 0;
    if (std::fclose(data) != 0 || dataFailed) {
        reportWriteFailure(dataName);
        return -1;
    }

    std::FILE* script = std::fopen(scriptName, "w");
    if (script == nullptr) {
        reportWriteFailure(scriptName);
        return -1;
    }
    std::fprintf(script,
                 "set terminal pngcairo size 720,1260 enhanced font \"Sans,13\"\n"
                 "set output \"%s\"\n"
                 "set key off\n"
                 "set xlabel \"t\"\n"
                 "set xtics 1\n"
                 "set ytics 1\n"
                 "set mxtics 2\n"
                 "set mytics 2\n"
                 "set grid xtics ytics mxtics mytics back lt 1 lw 1 lc rgb \"#a8a8a8\", "
                 "lt 1 lw 1 lc rgb \"#e4e4e4\"\n"
                 "set xzeroaxis lt 1 lw 1.5 lc rgb \"black\"\n"
                 "set yzeroaxis lt 1 lw 1.5 lc rgb \"black\"\n"
                 "set border lw 1\n"
                 "set tics out nomirror\n"
                 "set multiplot layout 3,1\n",
                 pngName);
    for (int i = 0; i < 3; ++i) {
        const Panel& panel = panels[i];
        std::fprintf(script,
                     "set title \"%s\" font \"Sans,15\"\n"
                     "set xrange [%.17g:%.17g]\n"
                     "set yrange [%.17g:%.17g]\n"
                     "plot \"%s\" index %d using 1:2 with lines lw 3 lc rgb \"#1f4fbf\"\n",
                     panel.title.c_str(), panel.lo, panel.hi, std::floor(panel.smallest) - 0.5,
                     std::ceil(panel.largest) + 0.5, dataName, i);
    }
    std::fprintf(script, "unset multiplot\nset output\n");
    const bool scriptFailed = std::ferror(script) != 0;
    if (std::fclose(script) != 0 || scriptFailed) {
        reportWriteFailure(scriptName);
        return -1;
    }
    return 0;
}
