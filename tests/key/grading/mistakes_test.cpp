// The mistake catalogue: each known slip named, in two exams.
#include "key/grading/mistakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "key/grading/grading_test_support.h"

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

TEST(MistakeCatalogue, EachKnownMistakeIsNamedInBothExams) {
    // The fresh exam, and the latest triangle and pulse with y(t) = x(2t-3).
    struct Exam {
        int s, a, p, b, k;
    };
    const Exam exams[] = {{0, 3, 3, -1, 1}, {3, 2, 7, 1, -3}};
    using Answer = std::function<double(double)>;
    // The answers as a student writes them in C, from the exam's numbers.
    struct Row {
        char function;
        std::function<Answer(const Exam&, const AnswerKey&)> answer;
        const char* named[2];  // for each exam; "" for no guess
    };
    auto tri = [](const Exam& e, double t) {
        return t >= e.s && t <= e.s + 2 ? e.a - e.a * std::fabs(t - e.s - 1) : 0.0;
    };
    auto pul = [](const Exam& e, double t) { return t >= e.p && t <= e.p + 1 ? e.b : 0.0; };
    auto x = [=](const Exam& e) { return [=](double t) { return tri(e, t) + pul(e, t); }; };
    auto u = [](double t) { return t >= 0 ? 1.0 : 0.0; };
    auto keyOf = [](const Signal& signal) { return [&signal](double t) { return rightValue(signal, t); }; };
    auto zWithout = [](const AnswerKey& k, std::size_t term, double factor) {
        return [&k, term, factor](double t) {
            double sum = 0;
            for (std::size_t i = 0; i < k.z.size(); ++i) {
                const StepTerm& z = k.z[i];
                sum += (i == term ? factor : 1) * (t >= z.at ? z.step + z.ramp * (t - z.at) : 0);
            }
            return sum;
        };
    };
    const Row rows[] = {
        {'x', [=](const Exam& e, const AnswerKey&) -> Answer { return x(e); }, {"", ""}},
        {'x', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return tri(e, t) - pul(e, t); }; },
         {"your pulse has the wrong sign: it should be -1, not 1",
          "your pulse has the wrong sign: it should be 1, not -1"}},
        {'x', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return tri(e, t) * (e.a + 1) / e.a + pul(e, t); }; },
         {"your triangle's peak is 4; the exam's is 3", "your triangle's peak is 3; the exam's is 2"}},
        {'x', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return tri(e, t - 1) + pul(e, t); }; },
         {"your triangle starts at t = 1; the exam's starts at t = 0",
          "your triangle starts at t = 4; the exam's starts at t = 3"}},
        {'x', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return tri(e, t) + pul(e, t + 1); }; },
         {"your pulse starts at t = 2; the exam's starts at t = 3",
          "your pulse starts at t = 6; the exam's starts at t = 7"}},
        {'x', [=](const Exam& e, const AnswerKey&) -> Answer {
             return [=](double t) {  // if (t > s && t < s + 1) ... else if (t > s + 1 && t < s + 2) ...
                 return t == e.s + 1 ? 0.0 : tri(e, t) + pul(e, t);
             }; },
         {"your x(t) is 0 at t = 1, where two pieces meet: use <= or >= so that one of them takes it",
          "your x(t) is 0 at t = 4, where two pieces meet: use <= or >= so that one of them takes it"}},
        {'x', [](const Exam&, const AnswerKey&) -> Answer { return [](double t) { return std::sin(t); }; }, {"", ""}},
        {'y', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return x(e)(2 * t + e.k); }; }, {"", ""}},
        {'y', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return x(e)(2 * t - e.k); }; },
         {"your y(t) is x(2t-1); the exam asks for x(2t+1)", "your y(t) is x(2t+3); the exam asks for x(2t-3)"}},
        {'y', [=](const Exam& e, const AnswerKey&) -> Answer { return x(e); },
         {"your y(t) is x(t) itself; the exam asks for x(2t+1)", "your y(t) is x(t) itself; the exam asks for x(2t-3)"}},
        {'y', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return x(e)(t / 2 - e.k); }; },
         {"your y(t) is x(0.5t-1); the exam asks for x(2t+1)", "your y(t) is x(0.5t+3); the exam asks for x(2t-3)"}},
        {'y', [=](const Exam& e, const AnswerKey&) -> Answer { return [=](double t) { return x(e)(2 * t + e.k) * 1.5; }; }, {"", ""}},
        {'z', [=](const Exam&, const AnswerKey& k) -> Answer { return zWithout(k, 99, 1); }, {"", ""}},
        {'z', [](const Exam&, const AnswerKey&) -> Answer { return [](double) { return 0.0; }; },
         {"your z(t) is 0 at every time graded", "your z(t) is 0 at every time graded"}},
        {'z', [=](const Exam&, const AnswerKey& k) -> Answer { return zWithout(k, 1, 0); },
         {"your z(t) differs from y(t) by 12*t*u(t): a term is missing or has the wrong sign",
          "your z(t) differs from y(t) by 8*(t-3.5)*u(t-3.5): a term is missing or has the wrong sign"}},
        {'z', [=](const Exam&, const AnswerKey& k) -> Answer { return zWithout(k, 3, -1); },
         {"your z(t) differs from y(t) by 2*u(t-1): a term is missing or has the wrong sign",
          "your z(t) differs from y(t) by -2*u(t-5): a term is missing or has the wrong sign"}},
        {'z', [=](const Exam&, const AnswerKey& k) -> Answer {
             return [&k, u](double t) { return stepSum(k.z, t) + 0.1 * t * t * u(t); }; }, {"", ""}},
        {'r', [=](const Exam&, const AnswerKey& k) -> Answer { return keyOf(k.r); }, {"", ""}},
        {'r', [=](const Exam& e, const AnswerKey&) -> Answer { return x(e); },
         {"your r(t) is x(t) itself, not its running integral", "your r(t) is x(t) itself, not its running integral"}},
        {'r', [=](const Exam& e, const AnswerKey& k) -> Answer {  // the triangle's area forgotten after it
             return [=, &k](double t) { return rightValue(k.r, t) - (t >= e.p ? e.a : 0); }; },
         {"from t = 3 on, your r(t) is off by -3: an earlier area is not carried",
          "from t = 7 on, your r(t) is off by -2: an earlier area is not carried"}},
        {'r', [=](const Exam& e, const AnswerKey& k) -> Answer {
             return [=, &k](double t) { return rightValue(k.r, t) - 2 * e.b * std::clamp(t - e.p, 0.0, 1.0); }; },
         {"your r(t) adds the pulse's area with the wrong sign", "your r(t) adds the pulse's area with the wrong sign"}},
        {'r', [=](const Exam& e, const AnswerKey& k) -> Answer {  // the pulse's piece with slope 0
             return [=, &k](double t) { return rightValue(k.r, t) - e.b * std::clamp(t - e.p, 0.0, 1.0); }; },
         {"your r(t) is off by t - 3 for 3 <= t <= 4 and 1 for t >= 4",
          "your r(t) is off by -t + 7 for 7 <= t <= 8 and -1 for t >= 8"}},
        {'r', [=](const Exam&, const AnswerKey& k) -> Answer { return [&k](double t) { return rightValue(k.r, t) * 1.1; }; }, {"", ""}},
    };
    for (int exam = 0; exam < 2; ++exam) {
        const Exam& e = exams[exam];
        AnswerKey key{};
        ASSERT_EQ(makeAnswerKey(examRecord(e.s, e.a, e.p, e.b, e.k), &key), 0);
        const std::vector<GradePoint> points = gradingPoints(key);
        for (const Row& row : rows) {
            const Answer answer = row.answer(e, key);
            StudentRun run;
            run.complete = true;
            for (const GradePoint& point : points) {
                run.values.push_back(answer(point.t));
            }
            const Signal& signal = row.function == 'x' ? key.x : row.function == 'r' ? key.r : key.y;
            const Verdict verdict = judgeRun(signal, points, run, 5);
            const std::string named = nameMistake(key, row.function, points, run.values);
            SCOPED_TRACE(std::string(1, row.function) + " in exam " + std::to_string(exam) + ": " +
                         verdict.text);
            EXPECT_EQ(named, row.named[exam]);
            if (verdict.right == 0) {
                EXPECT_LE(longestNumber(verdict.text + " " + named), 6);
            }
        }
    }
}
