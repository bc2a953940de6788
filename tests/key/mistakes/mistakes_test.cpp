// The mistake catalogue on answers made from each exam's own numbers: every
// kind of mistake named on three exams of different shifts, none named where
// no mistake fits, and the form of right answers remarked on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>

#include "key/mistakes/mistakes.h"
#include "key/judging/grading_test_support.h"

namespace {
// The most significant digits of any number in the text.
int longestNumber(const std::string& text) {
    int longest = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        std::string digits;
        for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'); ++i) {
            if (text[i] != '.' && !(digits.empty() && text[i] == '0')) {
                digits += text[i];
            }
        }
        longest = std::max(longest, static_cast<int>(digits.size()));
    }
    return longest;
}
}  // namespace

TEST(MistakeCatalogue, EachKindIsNamedOnExamsOfThreeShifts) {
    // The fresh exam; the latest triangle and pulse with y(t) = x(2t-3); a pulse
    // up one unit later with y(t) = x(2t+2).
    struct Exam {
        int s, a, p, b, k;
    };
    const Exam exams[] = {{0, 3, 3, -1, 1}, {3, 2, 7, 1, -3}, {1, 3, 5, 1, 2}};
    using Answer = std::function<double(double)>;
    struct Row {
        char function;
        std::function<Answer(const Exam&, const AnswerKey&)> answer;
        const char* kind;          // named on every exam; "" for none
        const char* source = "";   // the function as written, where the kind needs it
    };
    auto tri = [](const Exam& e, double t) {
        return t >= e.s && t <= e.s + 2 ? e.a - e.a * std::fabs(t - e.s - 1) : 0.0;
    };
    auto pul = [](const Exam& e, double t) { return t >= e.p && t <= e.p + 1 ? e.b : 0.0; };
    auto x = [=](const Exam& e) { return [=](double t) { return tri(e, t) + pul(e, t); }; };
    auto yOf = [](const Exam& e, const Answer& xx) { return [=](double t) { return xx(2 * t + e.k); }; };
    auto keyOf = [](const Signal& signal) { return [&signal](double t) { return rightValue(signal, t); }; };
    // The key's z with term i changed: its coefficient times `factor`, or moved;
    // u written as t > 0, so at a step's own time the value before it.
    auto zWith = [](const AnswerKey& k, std::size_t term, double factor, double by = 0, bool unshifted = false) {
        return [&k, term, factor, by, unshifted](double t) {
            double sum = 0;
            for (std::size_t i = 0; i < k.z.size(); ++i) {
                StepTerm z = k.z[i];
                if (i == term) {
                    z = {z.at + by, z.step * factor + (unshifted ? z.ramp * z.at : 0), z.ramp * factor};
                }
                sum += t > z.at ? z.step + z.ramp * (t - z.at) : 0;
            }
            return sum;
        };
    };
    using R = const AnswerKey&;
    using E = const Exam&;
    const Row rows[] = {
        {'x', [=](E e, R) -> Answer { return x(e); }, ""},
        {'x', [=](E e, R) -> Answer { return [=](double t) { return tri(e, t) - pul(e, t); }; }, "x.pulse-sign"},
        {'x', [=](E e, R) -> Answer { return [=](double t) { return tri(e, t) * (e.a + 1) / e.a + pul(e, t); }; }, "x.peak"},
        {'x', [=](E e, R) -> Answer { return [=](double t) { return tri(e, t - 1) + pul(e, t); }; }, "x.triangle-place"},
        {'x', [=](E e, R) -> Answer { return [=](double t) { return tri(e, t) + pul(e, t + 1); }; }, "x.pulse-place"},
        {'x', [=](E e, R) -> Answer {
             return [=](double t) { return tri(e, t) + (t >= e.p && t <= e.p + 2 ? e.b : 0); }; }, "x.pulse-width"},
        {'x', [=](E e, R) -> Answer {  // the rising side read as a - 1 in one unit
             return [=](double t) { return t >= e.s && t < e.s + 1 ? (e.a - 1) * (t - e.s) : x(e)(t); }; }, "x.slope"},
        {'x', [=](E e, R) -> Answer {
             return [=](double t) { return t > e.s + 1 && t <= e.s + 2 ? x(e)(t) + 1 : x(e)(t); }; }, "x.intercept"},
        {'x', [=](E e, R) -> Answer {  // if (t > s && t < s + 1) ... else if (t > s + 1 && t < s + 2) ...
             return [=](double t) { return t == e.s + 1 ? 0.0 : x(e)(t); }; }, "x.strict-corner"},
        {'x', [=](E e, R) -> Answer {  // 3 - 3*abs(t - 1): the distance to the peak in whole units
             return [=](double t) { return tri(e, std::trunc(t - e.s - 1) + e.s + 1) + pul(e, t); }; }, "c.abs-of-double",
         "double x(double t) { if (t >= 0 && t <= 2) return 3 - 3*abs(t - 1); return 0; }"},
        {'x', [=](E e, R) -> Answer { return [=](double t) { return t == e.s + 1 ? 7 : x(e)(t); }; }, "c.equality",
         "double x(double t) { if (t == 1) return 7; if (t >= 0 && t <= 2) return 3 - 3*fabs(t - 1); return 0; }"},
        {'x', [](E, R) -> Answer { return [](double) { return 0.0; }; }, "unwritten"},
        {'x', [](E, R) -> Answer { return [](double t) { return std::sin(t); }; }, "",  // wrong far beyond ==
         "double x(double t) { if (t == 1) return 7; return sin(t); }"},
        {'y', [=](E e, R) -> Answer { return yOf(e, x(e)); }, ""},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(2 * t + 2 * e.k); }; }, "y.shift-not-halved"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(2 * t + e.k / 2.0); }; }, "y.order"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(2 * t - e.k); }; }, "y.direction"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(2 * t); }; }, "y.not-shifted"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(2 * t + e.k + 5); }; }, "y.shift"},
        {'y', [=](E e, R) -> Answer { return x(e); }, "y.is-x"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(t + e.k); }; }, "y.not-compressed"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(t / 2 - e.k); }; }, "y.stretched"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(-2 * t - e.k); }; }, "y.reversed"},
        {'y', [=](E e, R) -> Answer {
             return yOf(e, [=](double t) { return 2 * tri(e, t) + pul(e, t); }); }, "y.heights"},
        {'y', [=](E e, R) -> Answer {  // the sides drawn from the peak with x's slopes
             return [=](double t) { const double m = (e.s + 1 - e.k) / 2.0;
                                    return std::fabs(t - m) <= 0.5 ? e.a - e.a * std::fabs(t - m) : pul(e, 2 * t + e.k); }; },
         "y.slopes"},
        {'y', [=](E e, R) -> Answer {  // halved: the heights, or the slopes not scaled
             return yOf(e, [=](double t) { return tri(e, t) / 2 + pul(e, t); }); }, uncertainKind},
        {'y', [=](E e, R) -> Answer {
             return [=](double t) { const double q = (e.p - e.k) / 2.0;
                                    return tri(e, 2 * t + e.k) + (t >= q && t <= q + 1 ? e.b : 0); }; }, "y.pulse-width"},
        {'y', [=](E e, R) -> Answer {  // the pulse's corners worked out as (p + k)/2
             return [=](double t) { return tri(e, 2 * t + e.k) + pul(e, 2 * t - e.k); }; }, "y.pulse-place"},
        {'y', [=](E e, R) -> Answer {
             return [=](double t) { return tri(e, 2 * t + e.k - 1) + pul(e, 2 * t + e.k); }; }, "y.triangle-place"},
        {'y', [=](E e, R) -> Answer { return [=](double t) { return x(e)(2 * t + e.k) * 1.5; }; }, ""},
        {'z', [=](E, R k) -> Answer { return zWith(k, 99, 1); }, ""},
        {'z', [=](E, R k) -> Answer { return zWith(k, 2, 1, 0, true); }, "z.ramp-form"},  // c*t*u(t-a)
        {'z', [=](E, R k) -> Answer { return zWith(k, 4, 0); }, "z.missing"},            // no closing step
        {'z', [=](E, R k) -> Answer { return zWith(k, 3, -1); }, "z.wrong-sign"},
        {'z', [=](E, R k) -> Answer { return zWith(k, 4, 1, 0.5); }, "z.wrong-time"},
        {'z', [=](E e, R k) -> Answer {  // the pulse's steps at x's own times
             const auto steps = [e](double t) { return t >= e.p && t < e.p + 1 ? e.b : 0; };
             return [=, &k](double t) { return stepSum(k.z, t) - steps(2 * t + e.k) + steps(t); }; },
         "z.wrong-time"},
        {'z', [=](E e, R k) -> Answer {  // the pulse turned over: both steps
             const auto steps = [e](double t) { return t >= e.p && t < e.p + 1 ? e.b : 0; };
             return [=, &k](double t) { return stepSum(k.z, t) - 2 * steps(2 * t + e.k); }; }, "z.wrong-sign"},
        {'z', [=](E, R k) -> Answer {  // every coefficient the slope after it
             return [&k](double t) { double sum = 0, slope = 0;
                                     for (const StepTerm& z : k.z) { slope += z.ramp;
                                         sum += t >= z.at ? z.step + (z.ramp != 0 ? slope : 0) * (t - z.at) : 0; }
                                     return sum; }; }, "z.slope-not-change"},
        {'z', [=](E, R k) -> Answer {  // x's slopes: every ramp halved
             return [&k](double t) { double sum = 0;
                                     for (const StepTerm& z : k.z) { sum += t >= z.at ? z.step + z.ramp / 2 * (t - z.at) : 0; }
                                     return sum; }; }, "z.coefficient"},
        {'z', [=](E e, R) -> Answer { return [=](double t) { return x(e)(2 * t + 2 * e.k); }; }, "y.shift-not-halved"},
        {'z', [](E, R) -> Answer { return [](double) { return 0.0; }; }, "unwritten"},
        {'r', [=](E, R k) -> Answer { return keyOf(k.r); }, ""},
        {'r', [=](E e, R) -> Answer { return x(e); }, "r.is-x"},
        {'r', [=](E, R k) -> Answer {
             return [&k](double t) { Signal ry; runningIntegral(k.y, &ry); return rightValue(ry, t); }; }, "r.of-y"},
        {'r', [=](E e, R k) -> Answer {  // the triangle's area as base times height: too big, not "not carried"
             return [=, &k](double t) { return rightValue(k.r, t) + (t > e.s + 2 ? e.a : 0); }; }, "r.half-forgotten"},
        {'r', [=](E e, R k) -> Answer {
             // r is flat from the triangle's end to the pulse: its value there is the triangle's area so far
             return [=, &k](double t) { return rightValue(k.r, t) - 0.5 * rightValue(k.r, std::min(t, e.s + 2.0)); }; },
         "r.half-doubled"},
        {'r', [=](E e, R k) -> Answer {
             return [=, &k](double t) { return rightValue(k.r, t) - 2 * e.b * std::clamp(t - e.p, 0.0, 1.0); }; }, "r.pulse-sign"},
        {'r', [=](E e, R k) -> Answer {  // the triangle's area forgotten at the pulse
             return [=, &k](double t) { return rightValue(k.r, t) - (t >= e.p ? e.a : 0); }; }, "r.not-carried"},
        {'r', [=](E e, R k) -> Answer {
             return [=, &k](double t) { return rightValue(k.r, t) + (t >= e.p ? e.a : 0); }; }, "r.carried-twice"},
        {'r', [=](E e, R k) -> Answer { return [=, &k](double t) { return t > e.p + 1 ? 0 : rightValue(k.r, t); }; },
         "r.back-to-zero"},
        {'r', [=](E e, R k) -> Answer {  // a piece's constant off by 1/2
             return [=, &k](double t) { return rightValue(k.r, t) + (t > e.s + 1 ? 0.5 : 0); }; }, "r.jumps"},
        {'r', [=](E e, R k) -> Answer {  // 1/2*a*(t-s)*(t-s) is 0 on the rising side
             return [=, &k](double t) { return t > e.s && t <= e.s + 1 ? 0 : rightValue(k.r, t); }; }, "c.integer-division",
         "double r(double t) { if (t <= 0) return 0; if (t <= 1) return 1/2*3*t*t; return 3; }"},
        // Misleading once: off by 3 from t = 6.5, where v is never set, and 8 from a missing return.
        {'r', [=](E, R k) -> Answer { return [&k](double t) { return rightValue(k.r, t) + (t > 6.5 ? 3 : 0); }; }, ""},
        {'r', [=](E, R k) -> Answer { return [&k](double t) { return rightValue(k.r, t) + (t > 6.5 ? 3 : 0); }; },
         "c.unset-variable",
         "double r(double t)\n{\n    double v;\n    if (t <= 0) v = 0;\n    else if (t <= 6.5) v = 2;\n    return v;\n}\n"},
        {'r', [=](E, R k) -> Answer { return [&k](double t) { return t > 9 ? 8 : rightValue(k.r, t); }; }, "c.missing-return",
         "double r(double t) { if (t <= 0) return 0; if (t <= 9) return 2; }"},
    };
    for (int exam = 0; exam < 3; ++exam) {
        const Exam& e = exams[exam];
        AnswerKey key{};
        ASSERT_EQ(makeAnswerKey(examRecord(e.s, e.a, e.p, e.b, e.k), &key), 0);
        const std::vector<GradePoint> points = gradingPoints(key);
        std::vector<double> wrongY;  // the row above's y, for a z that repeats it
        for (const GradePoint& point : points) {
            wrongY.push_back(rightValue(key.y, point.t) + (point.t > 9 ? 1 : 0));
        }
        std::vector<Row> all(std::begin(rows), std::end(rows));
        all.push_back({'z', [&](E, R) -> Answer { return [&](double t) { return rightValue(key.y, t) + (t > 9 ? 1 : 0); }; },
                       "z.repeats-y"});
        for (const Row& row : all) {
            const Answer answer = row.answer(e, key);
            StudentRun run;
            run.complete = true;
            for (const GradePoint& point : points) {
                run.values.push_back(answer(point.t));
            }
            const SourceFacts facts = scanSource(row.source);
            MistakeClues clues;
            clues.source = findFunction(facts, std::string(1, row.function));
            clues.wrongY = row.function == 'z' ? &wrongY : nullptr;
            const Signal& signal = row.function == 'x' ? key.x : row.function == 'r' ? key.r : key.y;
            const Verdict verdict = judgeRun(signal, points, run, 5);
            const Diagnosis named = diagnoseMistake(key, row.function, points, run.values, clues);
            SCOPED_TRACE(std::string(1, row.function) + " in exam " + std::to_string(exam) + ": " +
                         verdict.text + "\n" + named.text);
            EXPECT_EQ(named.kind, row.kind);
            EXPECT_EQ(named.text.empty(), named.kind.empty());
            EXPECT_LE(longestNumber(verdict.text + " " + named.text), 6);
        }
    }
}

TEST(MistakeCatalogue, WhatTheStudentReads) {
    AnswerKey key{};
    ASSERT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    const std::vector<GradePoint> points = gradingPoints(key);
    std::vector<double> values;
    for (const GradePoint& point : points) {
        values.push_back(rightValue(key.x, 2 * point.t + 2));
    }
    EXPECT_EQ(diagnoseMistake(key, 'y', points, values, {}).text,
              "your y(t) is x(2(t+1)) = x(2t+2): in x(2t+1) = x(2(t+0.5)) the shift after compressing is "
              "0.5, not 1.\nCheck: y(0) should be x(1) = 3; yours gives 0.");
    values.clear();
    for (const GradePoint& point : points) {
        values.push_back(rightValue(key.r, point.t) + (point.t > 2 ? 3 : 0));
    }
    EXPECT_EQ(diagnoseMistake(key, 'r', points, values, {}).text,
              "from t = 2 on, your r(t) carries 6, the triangle's base * height: a triangle's area is "
              "1/2 * base * height.\nCheck: r(2.5) should be 3; yours gives 6.");
}

TEST(MistakeCatalogue, FormRemarksReadTheSourceWithoutCommentsOrStrings) {
    struct Case {
        const char* source;
        char function;
        const char* remark;  // a part of the one remark expected; "" for none
    };
    const Case cases[] = {
        {"double z(double t) { return y(t); }", 'z', "your z(t) calls y(t)"},
        {"static double h(double t) { return x(2*t+1); }\ndouble z(double t) { return h(t); }", 'z',
         "your z(t) calls x(t)"},
        {"double y(double t) { return x(2*t - 2); }", 'y', "your y(t) calls x(t)"},
        {"double x(double t) { if (t > 3 && t < 4) return -1; return 0; }", 'x', "t > 3 && t < 4 in your x(t)"},
        {"double r(double t) { return t > 3 && (t < 4) ? -t : 0; }", 'r', "t > 3 && (t < 4)"},
        {"double x(double t) { if (t >= 3 && t <= 4) return -1; return 0; }\n"
         "double y(double t) { return x(2*t); }", 'x', ""},
        {"double r(double t) { if (t > 3 && t <= 4) return -t; return 0; }", 'r', ""},
        {"double z(double t) { /* return y(t); */ const char *s = \"y(t)\"; // x(t)\n return 6*t*u(t); }", 'z', ""},
        {"double z(double t) { return yy(t) + u(t); }", 'z', ""},
        // Pieces where steps and ramps are asked for, in z or in a copy of x or y it calls.
        {"double z(double t) { if (t >= 0 && t <= 1) return 3*t; return 0; }", 'z', "your z(t) is written in pieces"},
        {"double x2(double t) { if (t >= 0 && t <= 1) return 3*t; return 0; }\n"
         "double z(double t) { return x2(2*t+1); }", 'z', "calls x2(t), which is written in pieces"},
        {"double x2(double t) { if (t >= 0 && t <= 1) return 3*t; return 0; }\n"
         "double y(double t) { return x2(2*t+1); }", 'y', "calls x2(t), written in pieces as x(t) is"},
        {"double step(double t) { return t >= 0 ? 1 : 0; }\ndouble z(double t) { return 6*t*step(t); }", 'z', ""},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> remarks = formRemarks(c.function, scanSource(c.source));
        SCOPED_TRACE(c.source);
        if (*c.remark == 0) {
            EXPECT_TRUE(remarks.empty()) << remarks.front();
        } else {
            ASSERT_EQ(remarks.size(), 1U);
            EXPECT_NE(remarks[0].find(c.remark), std::string::npos) << remarks[0];
        }
    }
    // What the scan finds of C's own slips, and where it must find none.
    struct Slip {
        const char* source;
        bool endsWithoutReturn;
        const char* unset;
        const char* division;
    };
    const Slip slips[] = {
        {"double r(double t) { if (t < 0) return 0; else return t; }", false, "", ""},
        {"double r(double t) { if (t < 0) return 0; }", true, "", ""},
        {"double r(double t) { int i; double s = 0; for (i = 0; i < 3; i++) s += t; return s; }", false, "", ""},
        {"double r(double t) { double v; if (t < 1) v = t; else v = 1; return v; }", false, "", ""},
        {"double r(double t) { double v; if (t < 1) v = t; return v; }", false, "v", ""},
        {"double r(double t) { return t*1/2 + (double)1/2 + 1/2.0; }", false, "", ""},
        {"double r(double t) { return 3/2*t; }", false, "", "3/2"},
    };
    for (const Slip& slip : slips) {
        const SourceFacts facts = scanSource(slip.source);
        SCOPED_TRACE(slip.source);
        ASSERT_EQ(facts.functions.size(), 1U);
        EXPECT_EQ(facts.functions[0].mayEndWithoutReturn, slip.endsWithoutReturn);
        EXPECT_EQ(facts.functions[0].unsetVariable, slip.unset);
        EXPECT_EQ(facts.functions[0].integerDivision, slip.division);
    }
}
