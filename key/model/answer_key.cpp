#include "key/model/answer_key.h"

#include "generate/exam_rules.h"

#include <limits>
#include <utility>

namespace {
constexpr double infinity = std::numeric_limits<double>::infinity();

// Larger numbers than these mean a damaged record, not an exam.
constexpr int largestTime = 1000;
constexpr int largestValue = 1000;

// Not std::abs: a damaged record may hold the one int it cannot negate.
bool within(int value, int limit) { return value >= -limit && value <= limit; }

bool samePolynomial(const Piece& a, const Piece& b) {
    return a.c0 == b.c0 && a.c1 == b.c1 && a.c2 == b.c2;
}

bool isZero(const Piece& piece) { return piece.c0 == 0 && piece.c1 == 0 && piece.c2 == 0; }

// Appends a piece that starts where the signal's last one ends. A piece of no
// width adds nothing; one that goes on with the same polynomial lengthens the
// last one, so that the pieces stay as few as the signal allows.
void appendPiece(Signal* signal, const Piece& piece) {
    if (!(piece.from < piece.to)) {
        return;
    }
    if (!signal->pieces.empty() && samePolynomial(signal->pieces.back(), piece)) {
        signal->pieces.back().to = piece.to;
        return;
    }
    signal->pieces.push_back(piece);
}
}  // namespace

double pieceValue(const Piece& piece, double t) { return piece.c0 + t * (piece.c1 + t * piece.c2); }

Signal polyline(const std::vector<std::pair<double, double>>& corners) {
    Signal signal;
    double from = -infinity;
    double value = 0;  // where the last piece ended
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto [t, v] = corners[i];
        if (i == 0) {
            appendPiece(&signal, {from, t, 0, 0, 0});
        } else if (t > from) {
            const double slope = (v - value) / (t - from);
            appendPiece(&signal, {from, t, value - slope * from, slope, 0});
        }
        from = t;
        value = v;
    }
    appendPiece(&signal, {from, infinity, 0, 0, 0});
    return signal;
}

int signalFromBreakpoints(const int* t, const int* values, int count, Signal* signal) {
    if (count < 1) {
        return -1;
    }
    for (int i = 0; i + 1 < count; ++i) {
        if (t[i + 1] < t[i]) {
            return -1;
        }
    }
    std::vector<std::pair<double, double>> corners;
    corners.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        corners.emplace_back(t[i], values[i]);
    }
    *signal = polyline(corners);
    return 0;
}

int scaleTime(const Signal& x, double scale, double shift, Signal* y) {
    if (scale == 0) {
        return -1;
    }
    // P(scale*t + shift), multiplied out, on the times that map into the piece.
    auto mapped = [&](const Piece& p) {
        double from = (p.from - shift) / scale;
        double to = (p.to - shift) / scale;
        if (scale < 0) {
            std::swap(from, to);
        }
        return Piece{from, to, p.c0 + shift * (p.c1 + shift * p.c2),
                     scale * (p.c1 + 2 * shift * p.c2), scale * scale * p.c2};
    };
    Signal result;
    if (scale > 0) {
        for (const Piece& piece : x.pieces) {
            appendPiece(&result, mapped(piece));
        }
    } else {
        for (auto piece = x.pieces.rbegin(); piece != x.pieces.rend(); ++piece) {
            appendPiece(&result, mapped(*piece));
        }
    }
    *y = std::move(result);
    return 0;
}

int runningIntegral(const Signal& x, Signal* r) {
    if (x.pieces.empty() || !isZero(x.pieces.front())) {
        return -1;  // the integral from -infinity would not exist
    }
    for (const Piece& piece : x.pieces) {
        if (piece.c2 != 0) {
            return -1;
        }
    }
    Signal result;
    appendPiece(&result, x.pieces.front());
    double area = 0;  // r where the current piece starts
    for (std::size_t i = 1; i < x.pieces.size(); ++i) {
        const Piece& p = x.pieces[i];
        // r(t) = area + P(t) - P(from), with P(t) = c0*t + c1*t*t/2.
        const double atStart = p.from * (p.c0 + p.from * p.c1 / 2);
        const Piece integral{p.from, p.to, area - atStart, p.c0, p.c1 / 2};
        appendPiece(&result, integral);
        area = pieceValue(integral, p.to);
    }
    *r = std::move(result);
    return 0;
}

int stepTerms(const Signal& y, std::vector<StepTerm>* terms) {
    if (y.pieces.empty() || !isZero(y.pieces.front())) {
        return -1;
    }
    std::vector<StepTerm> result;
    for (std::size_t i = 1; i < y.pieces.size(); ++i) {
        const Piece& before = y.pieces[i - 1];
        const Piece& after = y.pieces[i];
        if (after.c2 != 0) {
            return -1;
        }
        const double at = after.from;
        const double step = pieceValue(after, at) - pieceValue(before, at);
        const double ramp = after.c1 - before.c1;
        if (step != 0 || ramp != 0) {
            result.push_back({at, step, ramp});
        }
    }
    *terms = std::move(result);
    return 0;
}

double leftValue(const Signal& signal, double t) {
    for (const Piece& piece : signal.pieces) {
        if (t <= piece.to) {
            return pieceValue(piece, t);
        }
    }
    return 0;
}

double rightValue(const Signal& signal, double t) {
    for (const Piece& piece : signal.pieces) {
        if (t < piece.to) {
            return pieceValue(piece, t);
        }
    }
    return 0;
}

double stepSum(const std::vector<StepTerm>& terms, double t, bool justBefore) {
    double sum = 0;
    for (const StepTerm& term : terms) {
        if (justBefore ? t > term.at : t >= term.at) {
            sum += term.step + term.ramp * (t - term.at);
        }
    }
    return sum;
}

int makeAnswerKey(const ExamRecord& record, AnswerKey* key) {
    if (!questionsAreMade(record)) {
        return -1;
    }
    for (int i = 0; i < q1PointCount; ++i) {
        if (!within(record.q1T[i], largestTime) || !within(record.q1X[i], largestValue)) {
            return -1;
        }
    }
    if (record.varQK == 0 || !within(record.varQK, largestTime) ||
        !within(record.varQT, largestTime)) {
        return -1;
    }
    AnswerKey result{};
    result.scale = record.varQK;
    result.shift = record.varQT;
    result.exam = examParameters(record);
    if (signalFromBreakpoints(record.q1T, record.q1X, q1PointCount, &result.x) != 0 ||
        scaleTime(result.x, result.scale, result.shift, &result.y) != 0 ||
        stepTerms(result.y, &result.z) != 0 || runningIntegral(result.x, &result.r) != 0) {
        return -1;
    }
    result.xStart = record.q1T[0];
    result.xEnd = record.q1T[q1PointCount - 1];
    result.yStart = (result.xStart - result.shift) / result.scale;
    result.yEnd = (result.xEnd - result.shift) / result.scale;
    if (result.scale < 0) {
        std::swap(result.yStart, result.yEnd);
    }
    *key = std::move(result);
    return 0;
}

std::vector<double> breakpointsOf(const Signal& signal) {
    std::vector<double> result;
    for (std::size_t i = 1; i < signal.pieces.size(); ++i) {
        result.push_back(signal.pieces[i].from);
    }
    return result;
}
