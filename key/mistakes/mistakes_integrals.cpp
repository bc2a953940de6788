// The mistakes of Questions 3 and 4: y written as steps and ramps, and the
// running integral r of x.
#include "key/mistakes/mistakes_integrals.h"

#include <cmath>

#include "key/mistakes/mistakes_signals.h"
#include "key/running/results.h"
#include "key/base/words.h"

namespace {
std::string n(double value) { return shortNumber(value); }

// Moves tried for a step or ramp put at the wrong time.
constexpr double wrongTimeMoves[] = {-2, -1.5, -1, -0.5, -0.25, 0.25, 0.5, 1, 1.5, 2};
// The pulse moved whole, in quarters: up to 5 units.
constexpr int largestPulseMove = 20;

bool isRamp(const StepTerm& term) { return term.ramp != 0; }

std::string termName(const StepTerm& term) {
    return std::string(isRamp(term) ? "ramp" : "step") + " at t = " + n(term.at);
}

// y's slope just after each term.
std::vector<double> slopesAfter(const std::vector<StepTerm>& terms) {
    std::vector<double> slopes;
    double slope = 0;
    for (const StepTerm& term : terms) {
        slope += term.ramp;
        slopes.push_back(slope);
    }
    return slopes;
}

bool lastOfItsSort(const std::vector<StepTerm>& terms, std::size_t i) {
    for (std::size_t j = i + 1; j < terms.size(); ++j) {
        if (isRamp(terms[j]) == isRamp(terms[i])) {
            return false;
        }
    }
    return true;
}

// Term i put at the wrong time; `check` is the term's own.
void addMovedTerm(const std::vector<StepTerm>& key, std::size_t i, Candidates* c, const std::string& mine,
                  const std::string& check) {
    const StepTerm& term = key[i];
    for (double by : wrongTimeMoves) {
        bool ontoAnother = false;  // two terms at one time read as one, not as a move
        for (const StepTerm& other : key) {
            ontoAnother = ontoAnother || other.at == term.at + by;
        }
        if (ontoAnother) {
            continue;
        }
        std::vector<StepTerm> terms = key;
        terms[i].at += by;
        c->tryValues(sampleTerms(terms, c->points()), "z.wrong-time", [&] {
            std::string text = mine;
            text += " has its ";
            text += isRamp(term) ? "ramp" : "step";
            text += " at t = " + n(term.at + by) + ": y's ";
            text += isRamp(term) ? "slope changes" : "value jumps";
            text += " at t = " + n(term.at) + ".\n";
            text += check;
            return text;
        });
    }
}

// Term i left out, or with the wrong sign.
void addMissingOrTurnedTerm(const std::vector<StepTerm>& key, std::size_t i, Candidates* c, const std::string& mine,
                            const std::string& check) {
    const StepTerm& term = key[i];
    std::vector<StepTerm> terms = key;
    terms.erase(terms.begin() + static_cast<std::ptrdiff_t>(i));
    c->tryValues(sampleTerms(terms, c->points()), "z.missing", [&] {
        std::string text = mine;
        text += " has no " + termName(term);
        if (lastOfItsSort(key, i)) {
            text += isRamp(term) ? " to end the triangle: after its last corner the ramps' coefficients "
                                   "must add up to 0, so that z stays flat."
                                 : " to end the pulse: a pulse needs a step at its start and one of the "
                                   "opposite sign at its end.";
            text += "\n";
        } else {
            text += ", where y's ";
            text += isRamp(term) ? "slope changes" : "value jumps";
            text += ".\n";
        }
        text += check;
        return text;
    });
    terms = key;
    terms[i] = {term.at, -term.step, -term.ramp};
    c->tryValues(sampleTerms(terms, c->points()), "z.wrong-sign", [&] {
        std::string text = mine;
        text += " has its " + termName(term) + " with the wrong sign: y's ";
        text += isRamp(term) ? std::string("slope ") + (term.ramp > 0 ? "grows" : "drops")
                             : std::string("value jumps ") + (term.step > 0 ? "up" : "down");
        text += " there.\n";
        text += check;
        return text;
    });
}

// Term i's ramp coefficient halved, doubled, or taken for the slope after it.
void addWrongCoefficient(const std::vector<StepTerm>& key, const std::vector<double>& slopes, std::size_t i,
                         Candidates* c, const std::string& mine, const std::string& check) {
    const StepTerm& term = key[i];
    for (double factor : {0.5, 2.0}) {
        std::vector<StepTerm> terms = key;
        terms[i].ramp *= factor;
        c->tryValues(sampleTerms(terms, c->points()), isRamp(term) ? "z.coefficient" : nullptr, [&] {
            std::string text = mine;
            text += "'s ramp at t = " + n(term.at) + " changes the slope by ";
            text += factor < 1 ? "half" : "twice";
            text += " as much as y's slope changes there.\n";
            text += check;
            return text;
        });
    }
    if (isRamp(term) && i > 0 && slopes[i] != term.ramp && slopes[i] != 0) {
        std::vector<StepTerm> terms = key;
        terms[i].ramp = slopes[i];
        c->tryValues(sampleTerms(terms, c->points()), "z.slope-not-change", [&] {
            std::string text = mine;
            text += "'s ramp at t = " + n(term.at) + " has coefficient " + n(slopes[i]) +
                    ", y's slope after it: a ramp adds to the slope there, so its coefficient is the "
                    "slope after minus the slope before.\n";
            text += check;
            return text;
        });
    }
}

void addOneTermMistakes(const std::vector<StepTerm>& key, Candidates* c, const std::string& mine) {
    const std::vector<double> slopes = slopesAfter(key);
    for (std::size_t i = 0; i < key.size(); ++i) {
        const StepTerm& term = key[i];
        const std::string check = c->check({term.at + 0.25, term.at, term.at + 1});
        addMissingOrTurnedTerm(key, i, c, mine, check);
        addWrongCoefficient(key, slopes, i, c, mine, check);
        addMovedTerm(key, i, c, mine, check);
    }
}

// Both steps of the pulse wrong alike: negated, moved together, or at x's
// own times.
void addPulseSteps(const AnswerKey& answers, Candidates* c, const std::string& mine) {
    const std::vector<StepTerm>& key = answers.z;
    const auto moved = [&key](double by, double sign, double widen = 0) {
        std::vector<StepTerm> terms = key;
        bool first = true;
        for (StepTerm& term : terms) {
            if (!isRamp(term)) {
                term = {term.at + by + (first ? 0 : widen), sign * term.step, 0};
                first = false;
            }
        }
        return terms;
    };
    double start = 0;
    for (const StepTerm& term : key) {
        start = !isRamp(term) && start == 0 ? term.at : start;
    }
    const std::string check = c->check({start + 0.25});
    c->tryValues(sampleTerms(moved(0, -1), c->points()), "z.wrong-sign", [&] {
        return mine + "'s pulse has the wrong sign: both of its steps are turned over.\n" + check;
    });
    const ExamParameters& e = answers.exam;
    c->tryValues(sampleTerms(moved(e.p - start, 1, pulseWidth - yPulseWidth(e)), c->points()), "z.wrong-time", [&] {
        return mine + "'s pulse is x's, from t = " + n(e.p) + " to t = " + n(pulseEnd(e)) +
               ": z is y, whose pulse is x's compressed and moved, from t = " + n(start) + ".\n" + check;
    });
    // As far as x's own pulse lies from y's.
    for (int quarters = -largestPulseMove; quarters <= largestPulseMove; ++quarters) {
        const double by = quarters / 4.0;
        if (by != 0) {
            c->tryValues(sampleTerms(moved(by, 1), c->points()), "z.wrong-time", [&] {
                std::string text = mine;
                text += "'s pulse starts at t = " + n(start + by) + ": y's pulse starts at t = " + n(start) + ".\n";
                text += check;
                return text;
            });
        }
    }
}

// Mistakes made the same way in every ramp: t*u(t-a) for (t-a)*u(t-a), the
// slope for the change of slope, x's slopes for y's.
void addEveryRampMistakes(const std::vector<StepTerm>& key, Candidates* c, const std::string& mine) {
    std::vector<std::size_t> ramps;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (isRamp(key[i]) && key[i].at != 0) {
            ramps.push_back(i);
        }
    }
    // Every subset of the ramps written unshifted: each one jumps by a*c.
    for (unsigned subset = 1; subset < (1u << ramps.size()); ++subset) {
        std::vector<StepTerm> terms = key;
        std::string where;
        double first = 0;
        for (std::size_t bit = 0; bit < ramps.size(); ++bit) {
            if ((subset >> bit & 1u) != 0) {
                terms[ramps[bit]].step += key[ramps[bit]].ramp * key[ramps[bit]].at;
                where += (where.empty() ? "" : ", ") + n(key[ramps[bit]].at);
                first = where.find(',') == std::string::npos ? key[ramps[bit]].at : first;
            }
        }
        c->tryValues(sampleTerms(terms, c->points()), "z.ramp-form", [&] {
            std::string text = mine;
            text += " writes its ";
            text += (subset & (subset - 1)) != 0 ? "ramps" : "ramp";
            text += " at t = ";
            text += where;
            text += " as c*t*u(t-a), which is already c*a "
                    "at t = a, so z jumps there; a ramp from 0 is c*(t-a)*u(t-a).\n";
            text += c->check({first, first + 0.25});
            return text;
        });
    }
    const std::vector<double> slopes = slopesAfter(key);
    std::vector<StepTerm> asSlopes = key;
    std::vector<StepTerm> halved = key;
    for (std::size_t i = 0; i < key.size(); ++i) {
        asSlopes[i].ramp = isRamp(key[i]) ? slopes[i] : 0;
        halved[i].ramp /= 2;
    }
    c->tryValues(sampleTerms(asSlopes, c->points()), "z.slope-not-change", [&] {
        return mine + "'s ramps have y's slopes as coefficients: a ramp's coefficient is the change of "
               "slope, the slope after minus the slope before.\n" + c->check({});
    });
    c->tryValues(sampleTerms(halved, c->points()), "z.coefficient", [&] {
        return mine + "'s ramps change the slope by half as much as y's: y's sides are twice as steep as "
               "x's.\n" + c->check({});
    });
}

// Whether z gives y's values; beside a jump of y either side's value will do,
// as u(t) may take the jump the other way than y's own operators.
bool repeats(const std::vector<GradePoint>& points, const std::vector<double>& z, const std::vector<double>& y) {
    const auto same = [](double a, double b) { return std::isfinite(a) && std::fabs(a - b) <= gradeTolerance; };
    for (std::size_t i = 0; i < z.size(); ++i) {
        const bool atJump = points[i].side == 0 && i > 0 && i + 1 < z.size() && points[i - 1].near == points[i].t &&
                            points[i + 1].near == points[i].t;
        if (!same(z[i], y[i]) && !(atJump && (same(z[i], y[i - 1]) || same(z[i], y[i + 1])))) {
            return false;
        }
    }
    return true;
}

Sampled stepAt(const std::vector<GradePoint>& points, double at, double height) {
    Sampled result;
    for (const GradePoint& point : points) {
        result.before.push_back(point.t > at ? height : 0);
        result.after.push_back(point.t >= at ? height : 0);
    }
    return result;
}

Sampled combined(const std::vector<std::pair<const Sampled*, double>>& parts) {
    Sampled result = *parts.front().first;
    for (std::size_t i = 0; i < result.before.size(); ++i) {
        result.before[i] = 0;
        result.after[i] = 0;
        for (const auto& [part, weight] : parts) {
            result.before[i] += weight * part->before[i];
            result.after[i] += weight * part->after[i];
        }
    }
    return result;
}

Sampled integralOf(const Signal& signal, const std::vector<GradePoint>& points) {
    Signal integral;
    runningIntegral(signal, &integral);
    return sample(integral, points);
}

// The triangle's area taken wrong, and the pulse's with the wrong sign.
void addAreaMistakes(const ExamParameters& e, Candidates* c, const Sampled& rTriangle, const Sampled& rPulse) {
    const auto& points = c->points();
    const Sampled r = combined({{&rTriangle, 1}, {&rPulse, 1}});
    const std::string check = c->check({triangleEnd(e), pulseEnd(e), peakTime(e), e.p + 0.5});
    const double area = e.a;  // half of base 2 times the peak
    c->tryValues(combined({{&rTriangle, 2}, {&rPulse, 1}}), "r.half-forgotten", [&] {
        return "your r(t) doubles the triangle's area: the area under a side that climbs with slope m "
               "for a time d is m*d*d/2, and the whole triangle's is 1/2 * base * height.\n" + check;
    });
    const Sampled baseTimesHeight = stepAt(points, triangleEnd(e), area);
    c->tryValues(combined({{&r, 1}, {&baseTimesHeight, 1}}), "r.half-forgotten", [&] {
        return "from t = " + n(triangleEnd(e)) + " on, your r(t) carries " + n(2 * area) +
               ", the triangle's base * height: a triangle's area is 1/2 * base * height.\n" +
               c->check({triangleEnd(e) + 0.5});
    });
    c->tryValues(combined({{&rTriangle, 0.5}, {&rPulse, 1}}), "r.half-doubled", [&] {
        return "your r(t) halves the triangle's area twice: 1/2 * base * height already holds the one 1/2.\n" +
               check;
    });
    c->tryValues(combined({{&rTriangle, 1}, {&rPulse, -1}}), "r.pulse-sign", [&] {
        return "your r(t) adds the pulse's area with the wrong sign: the pulse is " + n(e.b) + ", so r " +
               (e.b < 0 ? "falls" : "rises") + " while it lasts.\n" + c->check({pulseEnd(e), e.p + 0.5});
    });
}

// Areas left out, carried twice, or dropped back to 0 from some time on.
void addCarryMistakes(const ExamParameters& e, Candidates* c, const Sampled& r) {
    const auto& points = c->points();
    const double area = e.a;
    for (double from : {triangleEnd(e), static_cast<double>(e.p), pulseEnd(e)}) {
        // Carried twice from the triangle's end is base * height, above.
        for (double times : from == triangleEnd(e) ? std::vector<double>{-1.0} : std::vector<double>{-1.0, 1.0}) {
            const Sampled step = stepAt(points, from, times * area);
            c->tryValues(combined({{&r, 1}, {&step, 1}}), times < 0 ? "r.not-carried" : "r.carried-twice", [&] {
                return "from t = " + n(from) + " on, your r(t) " +
                       (times < 0 ? "leaves out the triangle's area: a running integral keeps every area it "
                                    "has passed."
                                  : "adds the triangle's area a second time: each piece starts from the area "
                                    "so far, once.") + "\n" + c->check({from + 0.5, from});
            });
        }
    }
    for (double times : {-1.0, 1.0}) {
        const Sampled step = stepAt(points, pulseEnd(e), times * e.b);
        c->tryValues(combined({{&r, 1}, {&step, 1}}), times < 0 ? "r.not-carried" : "r.carried-twice", [&] {
            return "from t = " + n(pulseEnd(e)) + " on, your r(t) " +
                   (times < 0 ? "leaves out the pulse's area: a running integral keeps every area it has passed."
                              : "adds the pulse's area a second time: the area so far is carried once.") +
                   "\n" + c->check({pulseEnd(e) + 0.5});
        });
    }
    const Sampled afterPulse = stepAt(points, pulseEnd(e), -(area + e.b));
    const Sampled between = stepAt(points, triangleEnd(e), -area);
    const Sampled backAtPulse = stepAt(points, e.p, area);
    const std::string zeroWhy = ": x is 0 there, but r keeps the area so far and stays flat.\n";
    c->tryValues(combined({{&r, 1}, {&afterPulse, 1}}), "r.back-to-zero", [&] {
        return "after t = " + n(pulseEnd(e)) + " your r(t) is back to 0" + zeroWhy + c->check({pulseEnd(e) + 0.5});
    });
    c->tryValues(combined({{&r, 1}, {&between, 1}, {&backAtPulse, 1}}), "r.back-to-zero", [&] {
        return "between t = " + n(triangleEnd(e)) + " and t = " + n(e.p) + " your r(t) is back to 0" + zeroWhy +
               c->check({triangleEnd(e) + 0.5});
    });
}
}  // namespace

void addMistakesOfZ(const AnswerKey& key, const MistakeClues& clues, Candidates* c) {
    const std::string mine = yours(c->function());
    if (clues.wrongY != nullptr && repeats(c->points(), c->values(), *clues.wrongY)) {
        c->note("z.repeats-y", "your z(t) gives the values of your own y(t), which is wrong: mend y first, "
                               "then write z from it.");
        return;
    }
    addOneTermMistakes(key.z, c, mine);
    addEveryRampMistakes(key.z, c, mine);
    addPulseSteps(key, c, mine);
    if (!c->anyFit()) {
        addMistakesOfY(key, c);  // the slip made in y once more
    }
}

void addMistakesOfR(const AnswerKey& key, Candidates* c) {
    const ExamParameters& e = key.exam;
    const auto& points = c->points();
    // Two copies of x on purpose: each is then cut down to one of its parts.
    // cppcheck-suppress duplicateAssignExpression
    Signal triangleOnly = key.x;
    Signal pulseOnly = key.x;
    for (std::size_t i = 0; i < key.x.pieces.size(); ++i) {
        Piece& sloped = key.x.pieces[i].c1 != 0 ? pulseOnly.pieces[i] : triangleOnly.pieces[i];
        sloped = {sloped.from, sloped.to, 0, 0, 0};
    }
    c->trySignal(key.x, "r.is-x", [&] {
        return "your r(t) is x(t) itself: r(t) is the area under x from the far left up to t.\n" +
               c->check({triangleEnd(e), peakTime(e)});
    });
    c->tryValues(integralOf(key.y, points), "r.of-y", [&] {
        return "your r(t) is the running integral of y(t): Question 4 integrates x(t), the signal of Question 1.\n" +
               c->check({triangleEnd(e), pulseEnd(e)});
    });
    const Sampled rTriangle = integralOf(triangleOnly, points);
    const Sampled rPulse = integralOf(pulseOnly, points);
    addAreaMistakes(e, c, rTriangle, rPulse);
    addCarryMistakes(e, c, combined({{&rTriangle, 1}, {&rPulse, 1}}));
}
