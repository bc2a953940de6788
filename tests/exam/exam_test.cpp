#include "exam/exam.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "check/check.h"
#include "generate/exam_rules.h"
#include "generate/pdf.h"
#include "generate/questions.h"
#include "test_support.h"

namespace {
constexpr const char* restoreMessage = "Exam workspace exists. Restoring to previously saved state.\n";
constexpr const char* menuPrompt =
    "\n\nPress <Y> to run a check on signals.c. Press <E> to exit the program. ";
constexpr const char* farewell = "\n\nexiting.\n";

struct ExamOutcome {
    int status;
    std::string out;
};

ExamOutcome runScripted(const std::string& input) {
    script().input = input;
    testing::internal::CaptureStdout();
    const int status = runExamWith(scriptedServices());
    return {status, testing::internal::GetCapturedStdout()};
}

std::vector<std::int32_t> savedStates() {
    std::vector<std::int32_t> states;
    for (const std::string& bytes : script().savedAtPause) {
        states.push_back(bytes.size() == examRecordSize ? recordFromBytes(bytes).state : -999);
    }
    return states;
}

ExamRecord storedExam(std::int32_t state) {
    ExamRecord record = patternedRecord();
    record.state = state;
    record.idNum = 123;
    record.grpNum = 3;
    record.varQT = -1;
    record.varQK = 2;
    record.varTstart = 0.25;
    record.varTend = 0.5;
    record.varAmp = -1;
    return record;
}

void storeExam(std::int32_t state) {
    const ExamRecord record = storedExam(state);
    writeFile("exam.dat", bytesOf(record));
}

ExamRecord workspace() { return recordFromBytes(readFile("exam.dat")); }
}  // namespace

TEST(ExamRun, FirstStartGoesThroughEveryStepToTheMenuAndExits) {
    TempFolder folder;
    const ExamOutcome run = runScripted("123\n3\nE");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              std::string("Enter your ID number: To which group do you belong? ") +
                  "\nMOCK_MIDTERM.txt has been generated.\nOpen it and follow the instructions." +
                  menuPrompt + farewell);
    EXPECT_EQ(savedStates(), (std::vector<std::int32_t>{Identify, MakeQuestion1, MakeQuestion2,
                                                        WriteText, Menu, Exiting}));
    const ExamRecord firstSave = recordFromBytes(script().savedAtPause.front());
    EXPECT_EQ(firstSave.idNum, 0);
    const ExamRecord saved = workspace();
    EXPECT_EQ(saved.state, Exiting);
    EXPECT_EQ(saved.idNum, 123);
    EXPECT_EQ(saved.grpNum, 3);
    // The text asks for the transform the saved exam holds, with the rules' scale.
    EXPECT_EQ(saved.varQK, timeScale);
    std::string asked = "\t";
    asked += formatTransform(saved.varQK, saved.varQT);
    asked += '\n';
    EXPECT_NE(readTextFile("MOCK_MIDTERM.txt").find(asked), std::string::npos);
    EXPECT_EQ(script().seeds, std::vector<std::uint32_t>{1});
    EXPECT_EQ(script().commands, std::vector<std::string>{"..\\gnuplot\\bin\\gnuplot.exe q1.gp\n"});
    EXPECT_EQ(script().limits, std::vector<int>{gnuplotTimeLimitSeconds});
    EXPECT_TRUE(fileExists("q1plot.dat"));
    EXPECT_TRUE(fileExists("MOCK_MIDTERM.txt"));
    EXPECT_FALSE(fileExists("defs.tex"));
}

TEST(ExamRun, AStartedExamResumesWithTheSameQuestions) {
    TempFolder folder;
    runScripted("123\n3\nE");
    const std::string finished = readFile("exam.dat");
    resetScript();
    const ExamOutcome again = runScripted("E");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, std::string(restoreMessage) + menuPrompt + farewell);
    EXPECT_EQ(readFile("exam.dat"), finished);
}

TEST(ExamRun, MenuChecksSignalsOnYAndIgnoresOtherKeys) {
    TempFolder folder;
    storeExam(Menu);
    writeFile("signals.c", "double x(double t) { return t; }\n");
    const ExamOutcome run = runScripted("qYy?e");
    EXPECT_EQ(run.status, 0);
    const std::string check = std::string("\nChecking signals.c...\n\nok\n\n");
    EXPECT_EQ(run.out, std::string(restoreMessage) + menuPrompt + menuPrompt + check + menuPrompt +
                           check + menuPrompt + menuPrompt + farewell);
    EXPECT_EQ(script().commands, (std::vector<std::string>{"tcc.exe -c signals.c", "tcc.exe -c signals.c"}));
    EXPECT_EQ(savedStates(), (std::vector<std::int32_t>{Menu, Menu, Menu, Menu, Menu, Exiting}));
}

TEST(ExamRun, MenuReportsAFailedCheckWithoutOk) {
    TempFolder folder;
    storeExam(Exiting);
    ExamOutcome run = runScripted("YE");
    EXPECT_EQ(run.out, std::string(restoreMessage) + menuPrompt +
                           "\nChecking signals.c...\n\nError opening file: signals.c" + menuPrompt +
                           farewell);
    EXPECT_TRUE(script().commands.empty());

    resetScript();
    writeFile("signals.c", "not C\n");
    script().commandStatus = exitedWith(1);
    run = runScripted("YE");
    EXPECT_EQ(run.out.find("ok"), std::string::npos);

    // A compiler that never ends is stopped at its limit, said in one line.
    resetScript();
    script().commandStatus = stoppedAtTimeLimit();
    testing::internal::CaptureStderr();
    run = runScripted("YE");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nmock-midterm: tcc did not finish within 60 s and was stopped.\n");
    EXPECT_EQ(run.out, std::string(restoreMessage) + menuPrompt + "\nChecking signals.c...\n\n" +
                           menuPrompt + farewell);
    EXPECT_EQ(script().limits, std::vector<int>{compileTimeLimitSeconds});
}

TEST(ExamRun, EndOfInputAtTheMenuExitsNormally) {
    TempFolder folder;
    storeExam(Menu);
    const ExamOutcome run = runScripted("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::string(restoreMessage) + menuPrompt + farewell);
    EXPECT_EQ(workspace().state, Exiting);
}

TEST(ExamRun, GivingUpOnTheIdSavesNothingFromThatTurn) {
    TempFolder folder;
    const ExamOutcome run = runScripted("0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
    EXPECT_EQ(run.status, -1);
    EXPECT_TRUE(run.out.ends_with(
        "You have exceeded the max allowable tries. Contact your professor\nEnding exam abruptly! Goodbye.\n"));
    const ExamRecord saved = workspace();
    EXPECT_EQ(saved.state, Identify);
    EXPECT_EQ(saved.idNum, 0);

    resetScript();
    const ExamOutcome again = runScripted("");  // the next start asks again, then input ends
    EXPECT_EQ(again.status, -1);
    EXPECT_EQ(again.out, std::string(restoreMessage) + "Enter your ID number: Ending exam abruptly! Goodbye.\n");
}

TEST(ExamRun, StoredStatesResumeWhereTheyStood) {
    struct Case {
        std::int32_t stored;
        std::string keys;
        std::string outputAfterRestore;
        std::vector<std::int32_t> saves;
    };
    const std::string text = "\nMOCK_MIDTERM.txt has been generated.\nOpen it and follow the instructions.";
    const Case cases[] = {
        {Restore, "yE", "Is this your ID num (y/n) 123" + text + menuPrompt + farewell,
         {Identify, MakeQuestion1, MakeQuestion2, WriteText, Menu, Exiting}},
        {Identify, "xnE", "Is this your ID num (y/n) 123Is this your ID num (y/n) 123Something went wrong!" +
                              std::string(farewell),
         {Identify, Identify, Exiting}},
        {MakeQuestion1, "E", text + menuPrompt + farewell, {MakeQuestion1, MakeQuestion2, WriteText, Menu, Exiting}},
        {MakeQuestion2, "E", text + menuPrompt + farewell, {MakeQuestion2, WriteText, Menu, Exiting}},
        {MakeWindow, "E", menuPrompt + std::string(farewell), {MakeWindow, Menu, Exiting}},
        {WriteText, "E", text + menuPrompt + farewell, {WriteText, Menu, Exiting}},
        {BuildPdf, "E", "Creating 123.pdf\n" + std::string(menuPrompt) + farewell, {BuildPdf, Menu, Exiting}},
        {Menu, "E", menuPrompt + std::string(farewell), {Menu, Exiting}},
        {Exiting, "E", menuPrompt + std::string(farewell), {Menu, Exiting}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        storeExam(c.stored);
        const ExamOutcome run = runScripted(c.keys);
        EXPECT_EQ(run.status, 0) << "stored state " << c.stored;
        EXPECT_EQ(run.out, restoreMessage + c.outputAfterRestore) << "stored state " << c.stored;
        EXPECT_EQ(savedStates(), c.saves) << "stored state " << c.stored;
        EXPECT_TRUE(script().seeds.empty()) << "a resumed exam does not seed";
        const ExamRecord saved = workspace();
        EXPECT_EQ(saved.idNum, 123);
        EXPECT_EQ(saved.grpNum, 3);
    }
}

TEST(ExamRun, StoredStatesKeepTheirParametersUnlessTheirStepRedraws) {
    TempFolder folder;
    storeExam(MakeWindow);
    runScripted("E");
    ExamRecord saved = workspace();
    EXPECT_EQ(saved.varQT, -1) << "the window draw must not touch Question 2";
    EXPECT_EQ(saved.q1Shift, storedExam(MakeWindow).q1Shift);
    // The first two numbers of the unseeded sequence are 41 and 18467.
    EXPECT_EQ(saved.varTstart, (41 % 7) * 0.25);
    EXPECT_EQ(saved.varAmp, -1);
    EXPECT_FALSE(fileExists("MOCK_MIDTERM.txt"));

    TempFolder pdfFolder;
    storeExam(BuildPdf);
    runScripted("E");
    EXPECT_EQ(script().commands,
              (std::vector<std::string>{"pdflatex create.tex -jobname=123 -quiet -silent",
                                        "pdflatex create.tex -jobname=123 -quiet -silent",
                                        "del *.aux *.log *.eps q1-eps-converted-to.pdf"}));
    EXPECT_EQ(script().limits, (std::vector<int>{pdflatexTimeLimitSeconds, pdflatexTimeLimitSeconds,
                                                 deleteTimeLimitSeconds}));
    EXPECT_TRUE(fileExists("defs.tex"));
    EXPECT_FALSE(fileExists("MOCK_MIDTERM.txt"));
}

TEST(ExamRun, OutOfRangeStoredStateEndsQuietlyAndKeepsTheFile) {
    for (std::int32_t stored : {10, -1, 1000000}) {
        TempFolder folder;
        storeExam(stored);
        const std::string before = readFile("exam.dat");
        const ExamOutcome run = runScripted("E");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, restoreMessage);
        EXPECT_EQ(readFile("exam.dat"), before);
    }
}

TEST(ExamRun, AShortWorkspaceStartsANewExam) {
    TempFolder folder;
    writeFile("exam.dat", bytesOf(storedExam(Menu)).substr(0, 60));
    const ExamOutcome run = runScripted("77\n1\nE");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with(std::string(restoreMessage) + "Enter your ID number: ")) << run.out;
    EXPECT_EQ(workspace().idNum, 77);
    EXPECT_EQ(script().seeds, std::vector<std::uint32_t>{1});
}

TEST(ExamRun, AwaitKeyPollsUntilEnter) {
    TempFolder folder;
    storeExam(AwaitKey);
    script().waitingAnswers = {0, 0};
    const ExamOutcome run = runScripted("a\rE");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::string(restoreMessage) + "97 a\n13 \r\n" + menuPrompt + farewell);
    EXPECT_EQ(savedStates(), (std::vector<std::int32_t>{AwaitKey, AwaitKey, AwaitKey, AwaitKey, Menu, Exiting}));

    resetScript();
    storeExam(AwaitKey);
    const ExamOutcome ended = runScripted("");
    EXPECT_EQ(ended.status, 0);
    EXPECT_EQ(ended.out, std::string(restoreMessage) + farewell);
    EXPECT_EQ(workspace().state, Exiting);
}

TEST(ExamRun, UnreadableWorkspaceStopsWithoutTouchingIt) {
    TempFolder folder;
    std::filesystem::create_directory("exam.dat");
    testing::internal::CaptureStderr();
    const ExamOutcome run = runScripted("123\n3\nE");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(err.find("exam.dat"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory("exam.dat"));
}

TEST(ExamRun, AFailingSaveIsReportedOnceAndTheExamGoesOn) {
    TempFolder folder;
    // A folder takes the workspace's place after the first save: every
    // later save fails.
    script().atPause = [] {
        if (!std::filesystem::is_directory("exam.dat")) {
            std::filesystem::remove("exam.dat");
            std::filesystem::create_directories("exam.dat/inside");
        }
    };
    testing::internal::CaptureStderr();
    const ExamOutcome run = runScripted("123\n3\nE");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.ends_with(farewell));
    EXPECT_NE(err.find("cannot save exam.dat"), std::string::npos);
    EXPECT_EQ(err.find("cannot save"), err.rfind("cannot save")) << "reported more than once";
}
