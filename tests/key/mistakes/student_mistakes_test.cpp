// The mistake catalogue on answers written as students write them
// (student_mistakes.txt), compiled with the real tcc and graded as `grade`
// grades: no wrong verdict, no mistake named that is not the one made, and
// nearly all of them named.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "key/judging/grade.h"
#include "key/key_test_support.h"
#include "key/model/exam_variants.h"
#include "platform/platform.h"
#include "platform/services.h"
#include "test_support.h"

namespace {
struct MistakeRow {
    int line = 0;
    int variant = 0;
    std::map<char, std::string> kinds;     // the functions that must be wrong, and what must be named
    std::map<char, std::string> replaced;  // the student's definitions
    std::string preamble;                  // lines before the first definition (#include ...)
    bool withoutMath = false;              // "// without math.h": the file does not include it
};

std::vector<MistakeRow> readRows(const std::string& text) {
    std::vector<MistakeRow> rows;
    std::istringstream in(text);
    std::string line;
    char current = 0;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.rfind("@ ", 0) == 0) {
            rows.push_back({number, 0, {}, {}, "", false});
            std::istringstream words(line.substr(2));
            std::string word;
            words >> rows.back().variant;
            while (words >> word) {
                rows.back().kinds[word[0]] = word.substr(2);
            }
            current = 0;
        } else if (!rows.empty() && line == "// without math.h") {
            rows.back().withoutMath = true;
        } else if (!rows.empty() && line.rfind("#include", 0) == 0) {
            rows.back().preamble += line + "\n";
        } else if (!rows.empty()) {
            if (line.rfind("double ", 0) == 0 && line.size() > 8 && line[8] == '(') {
                current = line[7];
            }
            if (current != 0) {
                rows.back().replaced[current] += line + "\n";
            }
        }
    }
    return rows;
}

// A right answer, piece by piece with inclusive operators, or as steps.
std::string piecewise(const char* name, const Signal& signal) {
    std::string body;
    for (const Piece& piece : signal.pieces) {
        char value[160];
        std::snprintf(value, sizeof value, "(%.17g) + (%.17g) * t + (%.17g) * t * t", piece.c0, piece.c1, piece.c2);
        char condition[120] = "1";
        if (std::isfinite(piece.from) || std::isfinite(piece.to)) {
            std::snprintf(condition, sizeof condition, "t >= %.17g && t <= %.17g",
                          std::isfinite(piece.from) ? piece.from : -1e9, std::isfinite(piece.to) ? piece.to : 1e9);
        }
        body += std::string("    if (") + condition + ")\n        return " + value + ";\n";
    }
    return std::string("double ") + name + "(double t)\n{\n" + body + "    return 0;\n}\n";
}

std::string steps(const std::vector<StepTerm>& terms) {
    std::string sum = "0";
    for (const StepTerm& term : terms) {
        char text[200];
        std::snprintf(text, sizeof text, " + (%.17g) * u(t - %.17g) + (%.17g) * (t - %.17g) * u(t - %.17g)",
                      term.step, term.at, term.ramp, term.at, term.at);
        sum += text;
    }
    return "double z(double t)\n{\n    return " + sum + ";\n}\n";
}

std::string answerFile(const AnswerKey& key, const MistakeRow& row) {
    const std::map<char, std::string> right = {
        {'x', piecewise("x", key.x)}, {'y', piecewise("y", key.y)}, {'z', steps(key.z)}, {'r', piecewise("r", key.r)}};
    std::string source = (row.withoutMath ? "" : "#include <math.h>\n") + row.preamble +
                         "\ndouble u(double t)\n{\n    if (t >= 0)\n        return 1;\n    return 0;\n}\n";
    for (const char name : {'x', 'y', 'z', 'r'}) {
        source += "\n" + (row.replaced.count(name) != 0 ? row.replaced.at(name) : right.at(name));
    }
    return source;
}
}  // namespace

TEST(StudentMistakes, EachIsNamedWithItsReason) {
    if (std::system("tcc -v > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "tcc is not installed";
    }
    const std::vector<MistakeRow> rows = readRows(readFile(STUDENT_MISTAKES_PATH));
    ASSERT_GE(rows.size(), 40U);
    int mistakes = 0;
    int named = 0;
    std::map<int, int> variants;
    for (const MistakeRow& row : rows) {
        SCOPED_TRACE("student_mistakes.txt:" + std::to_string(row.line));
        ++variants[row.variant];
        ExamRecord record = freshRecord();
        ASSERT_EQ(applyVariant(row.variant, &record), 0);
        AnswerKey key{};
        ASSERT_EQ(makeAnswerKey(record, &key), 0);
        TempFolder folder;
        writeFile("signals.c", answerFile(key, row));
        GradedAttempt graded;
        testing::internal::CaptureStdout();
        const int status = gradeAttempt(key, platformServices(), 5, &graded);
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_NE(status, 2) << readFile("signals.c");
        for (const GradedQuestion& grade : graded.questions) {
            const auto kind = row.kinds.find(grade.function);
            if (kind == row.kinds.end()) {
                EXPECT_EQ(grade.right, 1) << grade.title;
                continue;
            }
            ++mistakes;
            EXPECT_EQ(grade.right, 0) << grade.function << " must be wrong";
            // Wrong on every machine, whatever its stack holds, and said why.
            if (kind->second == "c.unset-variable") {
                EXPECT_NE(grade.title.find("it gave two different values in two runs"), std::string::npos) << grade.title;
            }
            // A kind other than the one made would mislead; none is allowed where "-" says so.
            EXPECT_TRUE(grade.mistake.kind == kind->second || grade.mistake.kind.empty() ||
                        (grade.mistake.kind == uncertainKind && kind->second == uncertainKind))
                << grade.function << ": named " << grade.mistake.kind << ", made " << kind->second << "\n"
                << grade.mistake.text;
            const bool reasoned = grade.mistake.kind == kind->second && kind->second != uncertainKind &&
                                  grade.mistake.text.find(": ") != std::string::npos;
            named += reasoned ? 1 : 0;
            if (!reasoned) {
                std::printf("not named (line %d): %s\n", row.line, grade.title.c_str());
            }
        }
    }
    EXPECT_GE(variants.size(), 5U);
    std::printf("%d of %d mistakes named with a reason (%.0f %%)\n", named, mistakes, 100.0 * named / mistakes);
    EXPECT_GE(named * 10, mistakes * 9);
}
