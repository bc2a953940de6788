// Grading with the test program's runs played by the test: what the student's
// functions gave, how their runs ended, and what the grader makes of it.
#include "key/grade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "key/feedback.h"
#include "key/key_test_support.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {
AnswerKey freshKey() {
    AnswerKey key{};
    EXPECT_EQ(makeAnswerKey(freshRecord(), &key), 0);
    return key;
}

std::string number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// What the test program writes for a function: "i value" lines and "end",
// or, when it stops at point `stopAt`, only "i" for that point.
std::string results(const std::vector<GradePoint>& points, const std::function<std::string(double)>& value,
                    std::size_t stopAt = SIZE_MAX) {
    std::string text;
    for (std::size_t i = 0; i < points.size(); ++i) {
        text += std::to_string(i);
        if (i == stopAt) {
            return text;
        }
        text += ' ';
        text += value(points[i].t);
        text += '\n';
    }
    return text + "end\n";
}

std::function<std::string(double)> valuesOf(const Signal& signal) {
    return [&signal](double t) { return number(rightValue(signal, t)); };
}

std::size_t indexOf(const std::vector<GradePoint>& points, double t) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].t == t) {
            return i;
        }
    }
    ADD_FAILURE() << "no point at " << t;
    return 0;
}

std::string judge(const Signal& expected, const std::vector<GradePoint>& points,
                  const std::string& output, int status = 0) {
    std::string verdict;
    const int right = judgeFunction(expected, points, output, status, 2, &verdict);
    EXPECT_EQ(right, verdict == "right" ? 1 : 0) << verdict;
    return verdict;
}
}  // namespace

TEST(GradingPoints, EveryBreakpointWithBothSidesAndAFineGrid) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    for (std::size_t i = 1; i < points.size(); ++i) {
        ASSERT_LT(points[i - 1].t, points[i].t) << "in order, each time once";
    }
    EXPECT_EQ(points.front().t, -4);
    EXPECT_EQ(points.back().t, 10);
    const double beside = 1.0 / 1048576;
    // x's and r's breakpoints, y's, and where the plot of y starts and ends.
    for (double b : {-2.0, 0.0, 1.0, 2.0, 3.0, 4.0, 8.0, -1.5, -0.5, 0.5, 1.5, 3.5}) {
        const GradePoint& at = points[indexOf(points, b)];
        EXPECT_EQ(at.side, 0) << b;
        const GradePoint& before = points[indexOf(points, b - beside)];
        EXPECT_EQ(before.near, b);
        EXPECT_EQ(before.side, -1);
        const GradePoint& after = points[indexOf(points, b + beside)];
        EXPECT_EQ(after.near, b);
        EXPECT_EQ(after.side, 1);
    }
    for (int i = 0; i <= 14 * 64; ++i) {
        indexOf(points, -4 + i / 64.0);
    }
}

TEST(GradingPoints, TheTestProgramCarriesTheTimesExactly) {
    const std::vector<GradePoint> points = {{-4, -4, 0}, {3 - 1.0 / 1048576, 3, -1}, {0.1, 0.1, 0}};
    const std::string source = harnessSource(points);
    EXPECT_NE(source.find("    -0x1p+2,\n    0x1.7ffff8p+1,\n    0x1.999999999999ap-4,\n};"),
              std::string::npos)
        << source;
    EXPECT_NE(source.find("double z(double t);"), std::string::npos);
    EXPECT_EQ(source.find("main(void)"), std::string::npos);
}

TEST(Judging, RightValuesAndTheOneSidedValuesAtAJump) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    EXPECT_EQ(judge(key.x, points, results(points, valuesOf(key.x))), "right");
    // The left-hand value at both jumps of x (3 and 4) is right too.
    EXPECT_EQ(judge(key.x, points, results(points, [&](double t) {
                        return number(leftValue(key.x, t));
                    })),
              "right");
    // Rounding far below the tolerance is no error.
    EXPECT_EQ(judge(key.r, points, results(points, [&](double t) {
                        return number(rightValue(key.r, t) + 4e-10);
                    })),
              "right");
    // Windows' C library writes "\r\n".
    std::string crlf;
    for (char c : results(points, valuesOf(key.y))) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(judge(key.y, points, crlf), "right");
}

TEST(Judging, WhereAndHowAWrongAnswerDiffers) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    const auto x = [&key](double t) { return rightValue(key.x, t); };
    struct Case {
        std::function<double(double)> value;
        const char* verdict;
    };
    const Case cases[] = {
        // Too small to see in 6 digits.
        {[&](double t) { return x(t) + (t >= 1.5 && t <= 1.75 ? 1e-8 : 0); },
         "wrong for 1 < t < 2: at t = 1.5 expected 1.5, got 1.5 (off by 1e-08)"},
        // Two pieces apart: the worst time of the coarse grid.
        {[&](double t) { return t > 0 && t < 1 ? 0 : t > 3 && t < 4 ? 1 : x(t); },
         "wrong for 0 < t < 1 and 3 < t < 4: at t = 0.875 expected 2.625, got 0"},
        {[&](double t) { return t == 3 ? -0.5 : x(t); },
         "wrong only at t = 3: expected 0 or -1, got -0.5 (check <= and >= at the corners)"},
        {[&](double t) { return t == 1 || t == 2 ? 7 : x(t); },
         "wrong only at t = 1 and t = 2: at t = 1 expected 3, got 7 (check <= and >= at the corners)"},
        // The pulse begun too early: only the point just before 3 tells.
        {[&](double t) { return t > 2.99 && t < 3 ? -1 : x(t); },
         "wrong just before t = 3: expected 0, got -1"},
        {[&](double t) { return t > 4 && t < 4.01 ? -1 : x(t); },
         "wrong just after t = 4: expected 0, got -1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(judge(key.x, points, results(points, [&](double t) { return number(c.value(t)); })),
                  c.verdict);
    }
}

TEST(Judging, ValuesThatAreNoNumbersAreWrong) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    const std::pair<const char*, const char*> values[] = {
        {"inf", "inf"}, {"-inf", "-inf"}, {"nan", "nan"}, {"-nan", "nan"},
        {"1.#INF", "nan"}, {"", "nan"}, {"3x", "nan"}};
    for (const auto& [bad, shown] : values) {
        EXPECT_EQ(judge(key.r, points, results(points, [&](double t) {
                            return t == 2 ? std::string(bad) : number(rightValue(key.r, t));
                        })),
                  std::string("wrong only at t = 2: expected 3, got ") + shown);
    }
}

TEST(Judging, RunsThatEndEarly) {
    const AnswerKey key = freshKey();
    const std::vector<GradePoint> points = gradingPoints(key);
    const std::size_t at1 = indexOf(points, 1);
    const std::pair<int, const char*> endings[] = {
        {136, "wrong: it crashed at t = 1: division by zero"},
        {static_cast<int>(0xC0000094u), "wrong: it crashed at t = 1: division by zero"},
        {139, "wrong: it crashed at t = 1: invalid memory access"},
        {static_cast<int>(0xC0000005u), "wrong: it crashed at t = 1: invalid memory access"},
        {3, "wrong: it crashed at t = 1 (exit status 3)"},
        {commandTimedOut, "wrong: at t = 1 it never returned a value within 2 s"},
        {0, "wrong: the program ended at t = 1 without a value"},
    };
    for (const auto& [status, verdict] : endings) {
        EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y), at1), status), verdict);
    }
    // Stopped before it wrote a thing, or between two points.
    EXPECT_EQ(judge(key.y, points, "", 139), "wrong: it crashed at t = -4: invalid memory access");
    std::string cut = results(points, valuesOf(key.y));
    const std::string lineAt1 = '\n' + std::to_string(at1) + ' ';
    cut = cut.substr(0, cut.find(lineAt1) + 1);
    EXPECT_EQ(judge(key.y, points, cut, 136), "wrong: it crashed at t = 1: division by zero");
    // Wrong values before the crash come first.
    EXPECT_EQ(judge(key.y, points, results(points, [](double) { return std::string("7"); }, at1), 136),
              "wrong for t < 1: at t = -4 expected 0, got 7; then it crashed at t = 1: division by zero");
    // A run that finished is judged by its values, whatever its status.
    EXPECT_EQ(judge(key.y, points, results(points, valuesOf(key.y)), 1), "right");
}

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

namespace {
// The grading program, played: the functions named in `behaviour` write
// what it gives; the others write the key's values.
struct FakeRun {
    std::vector<GradePoint> points;
    const AnswerKey* key = nullptr;
    std::map<char, std::function<std::string(double)>> behaviour;
    std::map<char, std::pair<std::size_t, int>> stops;  // function: point, status
    std::vector<std::string> commands;
    std::vector<int> limits;
    int compileStatus = 0;
    bool writeNothing = false;
    int runStatus = 127;  // of a run that writes nothing
};
FakeRun fake;

int fakeRunWithTimeLimit(const char* commandLine, int seconds) {
    const std::string line = commandLine;
    fake.commands.push_back(withScratchStar(line));
    fake.limits.push_back(seconds);
    EXPECT_TRUE(fileExists(scratchPath(harnessSourceName))) << "the source stays until the end";
    if (line.rfind("tcc.exe ", 0) == 0) {
        return fake.compileStatus;
    }
    if (line.rfind("..\\gnuplot", 0) == 0) {
        return -1;  // check.png: not drawn
    }
    if (fake.writeNothing) {
        return fake.runStatus;
    }
    const char function = line[line.find(' ') + 1];
    const Signal& signal = function == 'x' ? fake.key->x : function == 'r' ? fake.key->r : fake.key->y;
    auto value = fake.behaviour.count(function) ? fake.behaviour[function] : valuesOf(signal);
    auto stop = fake.stops.count(function) ? fake.stops[function] : std::make_pair(SIZE_MAX, 0);
    writeFile(scratchPath(harnessResultsName), results(fake.points, value, stop.first));
    return stop.second;
}

int gradeWith(const AnswerKey& key, std::string* out) {
    fake.points = gradingPoints(key);
    fake.key = &key;
    fake.commands.clear();
    ExamServices services = scriptedServices();
    services.runCommandWithTimeLimit = fakeRunWithTimeLimit;
    testing::internal::CaptureStdout();
    const int status = gradeAttempt(key, services, 3);
    *out = testing::internal::GetCapturedStdout();
    return status;
}

void expectNoScratchFiles() { EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{}); }
}  // namespace

TEST(Grading, OneLinePerQuestionAndTheTotal) {
    TempFolder folder;
    fake = FakeRun{};
    writeFile("signals.c", "/* the answers */\n");
    const AnswerKey key = freshKey();
    Signal shiftedWrongWay;
    scaleTime(key.x, 2, -1, &shiftedWrongWay);
    fake.behaviour['y'] = [&](double t) { return number(rightValue(shiftedWrongWay, t)); };
    fake.stops['r'] = {indexOf(gradingPoints(key), 2), commandTimedOut};
    std::string out;
    EXPECT_EQ(gradeWith(key, &out), 1);
    const std::string exe = ".\\.key-harness.*\\harness.exe";
    const std::string results = ".\\.key-harness.*\\results.txt";
    EXPECT_EQ(fake.commands, (std::vector<std::string>{
                                 "tcc.exe -o " + exe + " .\\.key-harness.*\\harness.c signals.c",
                                 exe + " x " + results,
                                 exe + " y " + results,
                                 exe + " z " + results,
                                 exe + " r " + results,
                                 "..\\gnuplot\\bin\\gnuplot.exe .\\.key-harness.*\\plot.gp",
                             }));
    EXPECT_EQ(fake.limits, (std::vector<int>{3, 3, 3, 3, 3, 20}));
    EXPECT_EQ(out,
              "Compiling signals.c with the grading program...\n"
              "\n"
              "QUESTION 1  x(t): right\n"
              "QUESTION 2  y(t): wrong for t > -0.5: at t = 1.125 expected -1, got 2.25\n"
              "                  your y(t) is x(2t-1); the exam asks for x(2t+1)\n"
              "QUESTION 3  z(t): right\n"
              "QUESTION 4  r(t): wrong: at t = 2 it never returned a value within 3 s\n"
              "\n"
              "2 of 4 right.\n"
              "check.png was not drawn.\n");
    expectNoScratchFiles();
}

TEST(Grading, WhatKeepsItFromGrading) {
    TempFolder folder;
    fake = FakeRun{};
    std::string out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(gradeWith(freshKey(), &out), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no readable signals.c"), std::string::npos);
    EXPECT_TRUE(fake.commands.empty());

    std::filesystem::create_directory("signals.c");
    testing::internal::CaptureStderr();
    EXPECT_EQ(gradeWith(freshKey(), &out), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no readable signals.c"), std::string::npos);
    std::filesystem::remove("signals.c");

    // tcc would stop at the first name after the mark.
    writeFile("signals.c", "\xEF\xBB\xBF" "double u(double t) { return t >= 0; }\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(gradeWith(freshKey(), &out), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "cannot grade: signals.c starts with a UTF-8 byte-order mark"),
              std::string::npos);
    EXPECT_TRUE(script().commands.empty());

    writeFile("signals.c", "double x(double t) { return t }\n");
    const std::pair<int, const char*> compiles[] = {
        {1, "signals.c does not compile"},
        {127, "compiler tcc was not found"},
        {commandTimedOut, "the compiler did not finish within 3 s"},
    };
    for (const auto& [status, message] : compiles) {
        fake.compileStatus = status;
        testing::internal::CaptureStderr();
        EXPECT_EQ(gradeWith(freshKey(), &out), 2);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_EQ(fake.commands.size(), 1U) << "the compile only";
        expectNoScratchFiles();
    }

    fake.compileStatus = 0;
    fake.writeNothing = true;
    const std::pair<int, const char*> runs[] = {
        {127, "did not run (status 127)"},
        {commandNotRunnable, "this folder does not let programs run"},
    };
    for (const auto& [status, message] : runs) {
        fake.runStatus = status;
        testing::internal::CaptureStderr();
        EXPECT_EQ(gradeWith(freshKey(), &out), 2);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(message), std::string::npos) << err;
        expectNoScratchFiles();
    }
    EXPECT_EQ(readFile("signals.c"), "double x(double t) { return t }\n");
}
