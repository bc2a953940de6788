#include "key/running/points.h"

#include <algorithm>
#include <cmath>

namespace {
// Near enough to a breakpoint to see the piece on either side of it, and a
// power of two, so the times stay exact.
constexpr double besideDistance = 1.0 / 1048576;
}  // namespace

std::vector<GradePoint> gradingPoints(const AnswerKey& key) {
    std::vector<GradePoint> points;
    for (int i = 0; i <= (gridEnd - gridStart) * gridStepsPerUnit; ++i) {
        const double t = gridStart + i * gridStep;
        points.push_back({t, t, 0});
    }
    auto addBreakpoint = [&points](double b) {
        if (std::isfinite(b)) {
            points.push_back({b, b, 0});
            points.push_back({b - besideDistance, b, -1});
            points.push_back({b + besideDistance, b, 1});
        }
    };
    for (const Signal* signal : {&key.x, &key.y, &key.r}) {
        for (const Piece& piece : signal->pieces) {
            addBreakpoint(piece.from);
        }
    }
    // Where the plot starts and ends, though x is 0 on both sides.
    for (double b : {key.xStart, key.xEnd, key.yStart, key.yEnd}) {
        addBreakpoint(b);
    }
    // At one time, keep the breakpoint itself rather than a neighbour's side.
    std::sort(points.begin(), points.end(), [](const GradePoint& a, const GradePoint& b) {
        return a.t != b.t ? a.t < b.t : std::abs(a.side) < std::abs(b.side);
    });
    points.erase(std::unique(points.begin(), points.end(),
                             [](const GradePoint& a, const GradePoint& b) { return a.t == b.t; }),
                 points.end());
    return points;
}
