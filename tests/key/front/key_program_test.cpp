// The command line and the workspace as mock-midterm-key meets them.
#include "key/front/key_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "exam/exam.h"
#include "key/key_test_support.h"
#include "key/base/scratch.h"
#include "key/variants/variant.h"
#include "key/model/exam_variants.h"
#include "key/model/load_key.h"
#include "key/front/commands.h"
#include "key/plots/draw.h"
#include "test_support.h"

namespace {
struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome runKey(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "mock-midterm-key");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = runKeyProgram(static_cast<int>(arguments.size()), arguments.data());
    Outcome run{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
}  // namespace

TEST(KeyCommandLine, HelpAndVersion) {
    for (const char* help : {"--help", "-h"}) {
        const Outcome run = runKey({help});
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(contains(run.out, "Usage: mock-midterm-key COMMAND")) << run.out;
        EXPECT_TRUE(contains(run.out, "grade")) << run.out;
        EXPECT_TRUE(run.err.empty());
    }
    const Outcome run = runKey({"grade", "--help"});
    EXPECT_EQ(run.status, 0) << "help wins over the command";
    EXPECT_TRUE(contains(runKey({"--version"}).out, "mock-midterm-key "));
}

TEST(KeyCommandLine, WrongArgumentsSayWhatAndExitWith2) {
    struct Case {
        std::vector<const char*> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"mark"}, "unknown command 'mark'"},
        {{"--verbose"}, "unknown option '--verbose'"},
        {{"grade", "answers"}, "unexpected argument 'answers'"},
        {{"grade", "--time-limit"}, "--time-limit needs a number of seconds"},
        {{"grade", "--time-limit", "0"}, "from 1 to 60, not '0'"},
        {{"grade", "--time-limit=61"}, "from 1 to 60, not '61'"},
        {{"grade", "--time-limit", "2s"}, "not '2s'"},
        {{"grade", "--time-limit="}, "not ''"},
        {{"answers", "--time-limit", "3"}, "--time-limit is for grade, report and progress only"},
        {{"report"}, "report needs the folders to look in for exam folders"},
        {{"report", "--csv"}, "--csv needs a value"},
        {{"report", "class", "--class-plot"}, "--class-plot needs a value"},
        {{"progress", "--no-class-plot"}, "unknown option '--no-class-plot'"},
        {{"progress", "attempts"}, "unexpected argument 'attempts'"},
        {{"report", "class", "--jobs", "0"}, "--jobs takes a number from 1 to 64, not '0'"},
        {{"report", "class", "--variant=3"}, "--variant is for answers only"},
        {{"variant"}, "variant needs a number from 1 to 200, random or id"},
        {{"variant", "0"}, "not '0'\nUsage: mock-midterm-key variant N|random|id"},
        {{"variant", "201"}, "not '201'\nUsage: mock-midterm-key variant N|random|id"},
        {{"variant", "x"}, "not 'x'\nUsage: mock-midterm-key variant N|random|id"},
        {{"variant", "3", "4"}, "unexpected argument '4'"},
        {{"answers", "--variant", "random"}, "--variant takes a number from 1 to 200, not 'random'"},
        {{"grade", "--variant=3"}, "--variant is for answers only"},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        const Outcome run = runKey(c.arguments);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_TRUE(contains(run.err, c.message)) << run.err;
        EXPECT_TRUE(contains(run.err, "Try 'mock-midterm-key --help'.")) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_FALSE(fileExists("exam.dat"));
}

TEST(KeyWorkspace, EveryReasonForNoKeyIsSaidAndNothingIsCreated) {
    TempFolder folder;
    // answers says 1 and grade 2: grade's 1 means a wrong answer.
    Outcome run = runKey({"answers"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "there is no exam.dat here")) << run.err;
    EXPECT_FALSE(fileExists("exam.dat")) << "unlike the exam, the key never creates it";
    run = runKey({"grade"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "there is no exam.dat here")) << run.err;

    writeFile("exam.dat", std::string(10, '\0'));
    run = runKey({"answers"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "exam.dat holds no exam: it has 10 bytes, an exam has 144."))
        << run.err;

    ExamRecord unfinished = freshRecord();
    unfinished.state = MakeQuestion2;
    writeFile("exam.dat", bytesOf(unfinished));
    run = runKey({"grade"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "has no questions yet")) << run.err;

    // Records no exam can hold: both say 1, and neither keys them.
    const std::pair<const char*, void (*)(ExamRecord*)> impossible[] = {
        {"ID 0", [](ExamRecord* r) { r->idNum = 0; }},
        {"ID -1", [](ExamRecord* r) { r->idNum = -1; }},
        {"group 2", [](ExamRecord* r) { r->grpNum = 2; }},
        {"state 77", [](ExamRecord* r) { r->state = 77; }},
        {"a breakpoint out of shape", [](ExamRecord* r) { r->q1T[3] = -5; }},
        {"a peak of 4", [](ExamRecord* r) { r->q1X[2] = 4; }},
        {"q1Shift not s", [](ExamRecord* r) { r->q1Shift = 0.5; }},
        {"varQK -1", [](ExamRecord* r) { r->varQK = -1; }},
        {"varQT 0", [](ExamRecord* r) { r->varQT = 0; }},
        {"varQT 3", [](ExamRecord* r) { r->varQT = 3; }},
        {"varTstart NaN", [](ExamRecord* r) { r->varTstart = std::numeric_limits<double>::quiet_NaN(); }},
        {"varTend infinite", [](ExamRecord* r) { r->varTend = std::numeric_limits<double>::infinity(); }},
        {"window out of range", [](ExamRecord* r) { r->varTstart = r->varTend = 2; }},
        {"varAmp 2", [](ExamRecord* r) { r->varAmp = 2; }},
        {"a window without a sign", [](ExamRecord* r) { r->varAmp = 0; }},
    };
    for (const auto& [name, change] : impossible) {
        ExamRecord record = freshRecord();
        change(&record);
        writeFile("exam.dat", bytesOf(record));
        for (const char* command : {"answers", "grade"}) {
            run = runKey({command});
            EXPECT_EQ(run.status, 1) << name << " " << command;
            EXPECT_EQ(run.err, "mock-midterm-key: exam.dat does not hold an exam made by mock-midterm\n")
                << name;
            EXPECT_TRUE(run.out.empty()) << name << run.out;
        }
    }
    ExamRecord noWindow = freshRecord();
    noWindow.varTstart = noWindow.varTend = 0;
    noWindow.varAmp = 0;
    writeFile("exam.dat", bytesOf(noWindow));
    EXPECT_TRUE(contains(runKey({"grade"}).err, "no readable signals.c")) << "a possible exam";

    std::filesystem::remove("exam.dat");
    std::filesystem::create_directory("exam.dat");
    run = runKey({"answers"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "not a regular file")) << run.err;
}

namespace {
std::vector<std::string> plotCommands;
RunResult fakeGnuplot(const char* commandLine, int) {
    plotCommands.push_back(withScratchStar(commandLine));
    EXPECT_TRUE(fileExists(scratchPath(plotScriptName)));
    EXPECT_TRUE(fileExists(scratchPath(plotDataName)));
    return exitedWith(0);  // and draws nothing
}
}  // namespace

TEST(KeyAnswers, PrintsTheKeyAndRunsGnuplotOnItsOwnScratchFiles) {
    TempFolder folder;
    writeFile("exam.dat", bytesOf(freshRecord()));
    writeFile("key.png", "an old plot");
    for (const char* name : {"q1plot.dat", "MOCK_MIDTERM.txt", "defs.tex", "q1.gp"}) {
        writeFile(name, name);
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ExamServices services = scriptedServices();
    services.runCommandWithTimeLimit = fakeGnuplot;
    const int status = printAnswerKey(services);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    // The scripted gnuplot draws nothing: the key is printed, the plot missed.
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(contains(out, "QUESTION 4: r(t), the running integral of x(t)")) << out;
    EXPECT_TRUE(contains(err, "key.png was not drawn")) << err;
    EXPECT_EQ(plotCommands,
              std::vector<std::string>{"..\\gnuplot\\bin\\gnuplot.exe .\\.key-plot.*\\plot.gp"});
    EXPECT_FALSE(fileExists("key.png")) << "an old plot must not pass for this exam's";
    EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{});
    for (const char* name : {"q1plot.dat", "MOCK_MIDTERM.txt", "defs.tex", "q1.gp"}) {
        EXPECT_EQ(readFile(name), name);
    }
    EXPECT_EQ(readFile("exam.dat"), bytesOf(freshRecord()));
}

TEST(KeyVariant, EveryVariantResumesInTheExamAndHasAKey) {
    TempFolder folder;
    EXPECT_EQ(variantOfRecord(freshRecord()), 64) << "the exam everyone gets first";
    EXPECT_EQ(variantOfRecord(examRecord(0, 3, 3, -1, 0)), 0) << "k = 0 is no variant";
    for (int n = 1; n <= variantCount; ++n) {
        SCOPED_TRACE("variant " + std::to_string(n));
        ExamRecord record = freshRecord();
        ASSERT_EQ(applyVariant(n, &record), 0);
        ASSERT_EQ(variantOfRecord(record), n) << "two variants with the same questions";
        record.state = WriteText;  // as variant leaves it
        writeFile("exam.dat", bytesOf(record));
        resetScript();
        testing::internal::CaptureStdout();
        const int status = runExamWith(scriptedServices());
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 0);
        char transform[32];
        std::snprintf(transform, sizeof transform, "\ty(t) = x(2t%+d)\n", record.varQT);
        EXPECT_TRUE(contains(readTextFile("MOCK_MIDTERM.txt"), transform));
        ExamRecord resumed{};
        AnswerKey key{};
        testing::internal::CaptureStderr();
        const int loaded = loadAnswerKey(&resumed, &key);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(loaded, 0) << err;
        EXPECT_EQ(variantOfRecord(resumed), n);
        const Outcome run = runKey({"answers", "--variant", std::to_string(n).c_str()});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(contains(run.out, "variant " + std::to_string(n) + " of 200\n")) << run.out;
    }
    EXPECT_FALSE(fileExists("key.png")) << "a key by variant draws nothing";

    using IdCase = std::pair<std::int32_t, int>;
    for (const auto& [id, variant] :
         std::initializer_list<IdCase>{{1, 78}, {123, 72}, {200, 1}, {2147483647, 20}, {-1, 124}}) {
        EXPECT_EQ(variantOfId(id), variant) << id;
    }
    bool taken[variantCount];
    std::fill(std::begin(taken), std::end(taken), true);
    EXPECT_EQ(pickUntakenVariant(taken, 7), 0);
    taken[136] = false;
    EXPECT_EQ(pickUntakenVariant(taken, 7), 137);
}
