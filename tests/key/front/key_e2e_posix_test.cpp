// mock-midterm-key itself, run in an exam folder with the real tcc and
// gnuplot, on answer files written as a student would write them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "key/model/answer_key.h"
#include "key/plots/check_plot.h"
#include "key/judging/verdict.h"
#include "key/judging/grade.h"
#include "key/running/harness.h"
#include "key/key_test_support.h"
#include "key/base/words.h"
#include "test_support.h"

extern char** environ;

namespace {
bool onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end - start);
        if (access((folder + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            return false;
        }
        start = end + 1;
    }
}

// CI must have the tools; a developer's machine may lack them.
#define REQUIRE_TOOL(name)                                                            \
    do {                                                                              \
        if (!onPath(name)) {                                                          \
            const char* ci = std::getenv("CI");                                       \
            if (ci != nullptr && std::string(ci) == "true") {                         \
                FAIL() << name << " is not installed, and CI must run this test";     \
            }                                                                         \
            GTEST_SKIP() << name << " is not installed (apt-get install " << name << ")"; \
        }                                                                             \
    } while (0)

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class KeyProgramTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory("exam");
        std::filesystem::current_path("exam");
    }

    void storeExam(const ExamRecord& record) {
        record_ = record;
        writeFile("exam.dat", bytesOf(record));
        ASSERT_EQ(makeAnswerKey(record, &key_), 0);
        points_ = gradingPoints(key_);
    }

    // Starts the program with its errors in a file outside the exam folder,
    // its input and output on the descriptors given, or /dev/null and a file.
    pid_t startKey(const std::vector<std::string>& arguments, int input = -1, int output = -1) {
        return startProgram(KEY_PROGRAM_PATH, arguments, input, output);
    }

    pid_t startProgram(const char* program, const std::vector<std::string>& arguments, int input,
                       int output) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (input >= 0) {
            posix_spawn_file_actions_adddup2(&actions, input, 0);
        } else {
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        }
        if (output >= 0) {
            posix_spawn_file_actions_adddup2(&actions, output, 1);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, (folder_.path() + "/out.txt").c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        posix_spawn_file_actions_addopen(&actions, 2, (folder_.path() + "/err.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        pid_t child = -1;
        if (posix_spawn(&child, program, &actions, nullptr, argv.data(), environ) != 0) {
            child = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        return child;
    }

    // Waits for it; a death by signal s gives 128 + s.
    Outcome finish(pid_t child) {
        Outcome run;
        int status = 0;
        if (child > 0 && waitpid(child, &status, 0) == child) {
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        run.out = readFile(folder_.path() + "/out.txt");
        run.err = readFile(folder_.path() + "/err.txt");
        return run;
    }

    Outcome runKey(const std::vector<std::string>& arguments) { return finish(startKey(arguments)); }

    // Runs a program with the given text as its input.
    Outcome runProgram(const char* program, const std::vector<std::string>& arguments,
                       const std::string& input) {
        const std::string in = folder_.path() + "/in.txt";
        writeFile(in, input);
        const int descriptor = open(in.c_str(), O_RDONLY);
        const Outcome run = finish(startProgram(program, arguments, descriptor, -1));
        close(descriptor);
        return run;
    }

    // Grades and checks what every grading leaves as it was.
    Outcome grade(const std::vector<std::string>& options = {}) {
        std::vector<std::string> arguments{"grade"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const Outcome run = runKey(arguments);
        EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{});
        EXPECT_EQ(readFile("exam.dat"), bytesOf(record_));
        return run;
    }

    // The first grading time after t.
    double firstTimeAfter(double t) const {
        for (const GradePoint& point : points_) {
            if (point.t > t) {
                return point.t;
            }
        }
        return 0;
    }

    TempFolder folder_;
    ExamRecord record_{};
    AnswerKey key_{};
    std::vector<GradePoint> points_;
};

std::string number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// A piecewise function as a chain of ifs with inclusive bounds, written from
// the key's pieces; where two pieces share a time the first one answers.
std::string piecewiseFunction(const std::string& name, const Signal& signal) {
    std::string body;
    for (const Piece& piece : signal.pieces) {
        const std::string value =
            "(" + number(piece.c0) + ") + (" + number(piece.c1) + ") * t + (" + number(piece.c2) + ") * t * t";
        std::string condition;
        if (std::isfinite(piece.from)) {
            condition = "t >= " + number(piece.from);
        }
        if (std::isfinite(piece.to)) {
            condition += (condition.empty() ? "" : " && ") + ("t <= " + number(piece.to));
        }
        body += condition.empty() ? "    return " + value + ";\n"
                                  : "    if (" + condition + ")\n        return " + value + ";\n";
    }
    return "static double " + name + "(double t)\n{\n" + body + "    return 0;\n}\n\n";
}

std::string stepFunction(const std::string& name, const std::vector<StepTerm>& terms) {
    std::string sum = "0";
    for (const StepTerm& term : terms) {
        const std::string shifted = "(t - (" + number(term.at) + "))";
        sum += " + (" + number(term.step) + ") * u" + shifted + " + (" + number(term.ramp) + ") * " +
               shifted + " * u" + shifted;
    }
    return "static double " + name + "(double t)\n{\n    return " + sum + ";\n}\n\n";
}

// A whole answer file: right answers as xKey ... rKey, and x, y, z and r
// calling them unless `replaced` gives another body.
std::string answerFile(const AnswerKey& key, const std::map<char, std::string>& replaced = {}) {
    std::string source =
        "#include <math.h>\n\n"
        "double u(double t)\n{\n    if (t >= 0)\n        return 1;\n    return 0;\n}\n\n";
    source += piecewiseFunction("xKey", key.x) + piecewiseFunction("yKey", key.y) +
              stepFunction("zKey", key.z) + piecewiseFunction("rKey", key.r);
    for (const char name : {'x', 'y', 'z', 'r'}) {
        const auto body = replaced.find(name);
        source += std::string("double ") + name + "(double t)\n{\n" +
                  (body != replaced.end() ? body->second
                                          : std::string("    return ") + name + "Key(t);\n") +
                  "}\n\n";
    }
    return source;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        result.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return result;
}

// The four verdict lines of a grading's output.
std::vector<std::string> verdicts(const std::string& out) {
    std::vector<std::string> result;
    for (const std::string& line : lines(out)) {
        if (line.rfind("QUESTION ", 0) == 0) {
            result.push_back(line);
        }
    }
    return result;
}

const char* const labels[] = {"QUESTION 1  x(t): ", "QUESTION 2  y(t): ", "QUESTION 3  z(t): ",
                              "QUESTION 4  r(t): "};

std::vector<std::string> allRight() {
    std::vector<std::string> result;
    for (const char* label : labels) {
        result.push_back(std::string(label) + "right");
    }
    return result;
}

// All right but question `index` (0 to 3), which says `verdict`.
std::vector<std::string> oneWrong(int index, const std::string& verdict) {
    std::vector<std::string> result = allRight();
    result[index] = labels[index] + verdict;
    return result;
}
}  // namespace

TEST_F(KeyProgramTest, AHandWrittenAttemptAtTheFreshExamIsAllRight) {
    REQUIRE_TOOL("tcc");
    storeExam(freshRecord());
    // y(t) = x(2t+1).
    writeFile("signals.c", readFile(HAND_WRITTEN_ANSWER_PATH));
    const Outcome run = grade();
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(verdicts(run.out), allRight()) << run.out;
    EXPECT_NE(run.out.find("Grading signals.c of ID 12345, group 1."), std::string::npos);
    EXPECT_NE(run.out.find("\n4 of 4 right.\n"), std::string::npos) << run.out;
}

TEST_F(KeyProgramTest, AnAttemptWrittenFromTheKeyIsRightAndEachWrongAnswerIsFound) {
    REQUIRE_TOOL("tcc");
    storeExam(examRecord(3, 2, 7, 1, -3));  // the latest triangle and pulse; y(t) = x(2t-3)
    // Right, in the test program's longest lines: 17 digits, a sign and an exponent.
    writeFile("signals.c", answerFile(key_, {{'y', "    return yKey(t) * (1 + 1e-15) - 1.2345678901234567e-300;\n"}}));
    Outcome run = grade();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(verdicts(run.out), allRight()) << run.out;

    struct Wrong {
        char function;
        std::string body;
        int question;
        std::string verdict;
    };
    const Wrong wrongs[] = {
        {'x', "    return xKey(t) + (t > 4.2 && t < 4.3 ? 0.25 : 0);\n", 0,
         "wrong for 4 < t < 5: at t = 4.25 expected 1.5, got 1.75"},
        {'y', "    return yKey(t) * (t < 5.2 ? 1 : 2);\n", 1,
         "wrong for 5 < t < 5.5: at t = 5.25 expected 1, got 2"},
        {'z', "    return zKey(t) - (t >= 3.5 ? 0.5 : 0);\n", 2, "wrong for t > 3.5: at t = 6 expected 0, got -0.5"},
        {'r', "    return rKey(t) + (t > 9 ? 1 : 0);\n", 3, "wrong for t > 8: at t = 10 expected 3, got 4"},
    };
    for (const Wrong& wrong : wrongs) {
        SCOPED_TRACE(std::string("wrong ") + wrong.function);
        writeFile("signals.c", answerFile(key_, {{wrong.function, wrong.body}}));
        run = grade();
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_EQ(verdicts(run.out), oneWrong(wrong.question, wrong.verdict)) << run.out;
        EXPECT_NE(run.out.find("\n3 of 4 right.\n"), std::string::npos) << run.out;
    }
    // No mistake of the catalogue is an r off by 1 from t = 9 on, but one
    // number of its own line mends it.
    EXPECT_NE(run.out.find("got 4\n                  line "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" of signals.c, in your r(t): "), std::string::npos) << run.out;
    if (onPath("gnuplot")) {
        EXPECT_NE(run.out.find("\nYour functions are drawn in check.png, red where they are wrong; "
                               "grade --show-key draws the key there too.\n"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(readFile("check.png").substr(0, 4), "\x89PNG");
        run = grade({"--show-key"});
        EXPECT_NE(run.out.find("\nYour functions are drawn over the key in check.png.\n"),
                  std::string::npos)
            << run.out;
    }
}

TEST_F(KeyProgramTest, DivisionByZeroAndAnEndlessLoopAreWrongAndNeverStopTheGrader) {
    REQUIRE_TOOL("tcc");
    storeExam(examRecord(3, 2, 7, 1, -3));
    // Integer division by zero is a crash (SIGFPE).
    writeFile("signals.c",
              answerFile(key_, {{'x', "    volatile int zero = 0;\n    if (t > 6)\n"
                                      "        return 1 / zero;\n    return xKey(t);\n"}}));
    Outcome run = grade();
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(verdicts(run.out),
              oneWrong(0, "wrong: it crashed at t = " + shortNumber(firstTimeAfter(6)) +
                              ": division by zero"))
        << run.out;

    // Floating-point division by zero gives no crash but infinity.
    writeFile("signals.c", answerFile(key_, {{'r', "    double zero = 0;\n    if (t > 9)\n"
                                                   "        return t / zero;\n    return rKey(t);\n"}}));
    run = grade();
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(verdicts(run.out),
              oneWrong(3, "wrong for t > 8: at t = 10 expected 3, got inf"))
        << run.out;

    writeFile("signals.c",
              answerFile(key_, {{'z', "    while (t > 1)\n        ;\n    return zKey(t);\n"}}));
    run = grade({"--time-limit", "1"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(verdicts(run.out),
              oneWrong(2, "wrong: at t = " + shortNumber(firstTimeAfter(1)) +
                              " it never returned a value within 1 s"))
        << run.out;
}

TEST_F(KeyProgramTest, AFileThatDoesNotCompileCannotBeGraded) {
    REQUIRE_TOOL("tcc");
    storeExam(freshRecord());
    writeFile("signals.c", answerFile(key_, {{'y', "    return yKey(t)\n"}}));
    Outcome run = grade();
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_TRUE(verdicts(run.out).empty()) << run.out;
    EXPECT_NE(run.err.find("signals.c:"), std::string::npos) << "tcc's own message: " << run.err;
    EXPECT_NE(run.err.find("signals.c does not compile"), std::string::npos) << run.err;

    // A main of the student's own clashes with ours.
    writeFile("signals.c", answerFile(key_) + "int main(void)\n{\n    return 0;\n}\n");
    run = grade();
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("and no main"), std::string::npos) << run.err;
}

// The test program itself, built by tcc with functions whose values are
// known: each time reaches them exactly, and each run ends as it ended.
TEST_F(KeyProgramTest, TheTestProgramWritesWhatEachRunGaveAndHowItEnded) {
    REQUIRE_TOOL("tcc");
    const std::vector<GradePoint> points = {{-4, -4, 0}, {3 - 1.0 / 1048576, 3, -1}, {0.1, 0.1, 0}};
    writeFile("harness.c", harnessSource(points));
    writeFile("functions.c",
              "#include <stdlib.h>\n"
              "static int calls;\n"
              "double x(double t) { return t; }\n"
              "double y(double t) { return ++calls % 2 ? t : -t; }\n"
              "double z(double t) { if (t > 0) exit(3); return 1; }\n"
              "double r(double t) { return t; }\n");
    ASSERT_EQ(std::system("tcc -o harness harness.c functions.c"), 0);
    const struct {
        const char* function;
        int status;
        std::string results;
    } runs[] = {
        {"x", 0, "0 -4\n1 2.9999990463256836\n2 0.10000000000000001\nend\n"},
        {"y", 0, "0 -4 ~\n1 2.9999990463256836 ~\n2 0.10000000000000001 ~\nend\n"},
        {"z", 3, "0 1\n1 exit\n"},
    };
    for (const auto& run : runs) {
        const Outcome outcome = runProgram("./harness", {run.function, "results.txt"}, "");
        EXPECT_EQ(outcome.status, run.status) << run.function;
        // A run that ends early leaves the rest of the file's mapping zero.
        EXPECT_EQ(readFile("results.txt").c_str(), run.results) << run.function;
    }
}

TEST_F(KeyProgramTest, AnswersPrintTheKeyAndDrawKeyPng) {
    REQUIRE_TOOL("gnuplot");
    storeExam(freshRecord());
    // Traps at the names the scratch files once had: never written through.
    writeFile("signals.c", "the answers");
    link("signals.c", ".key-plot.dat");
    mkfifo(".key-plot.gp", 0644);
    const Outcome run = runKey({"answers"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("  z(t) = 6*(t+0.5)*u(t+0.5) - 12*t*u(t)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("The plots of x, y and r are in key.png."), std::string::npos) << run.out;
    EXPECT_EQ(readFile("key.png").substr(0, 4), "\x89PNG");
    EXPECT_EQ(keyScratchLeft(), (std::vector<std::string>{".key-plot.dat", ".key-plot.gp"}));
    EXPECT_EQ(readFile("signals.c"), "the answers");
    EXPECT_EQ(readFile("exam.dat"), bytesOf(record_));
}

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Polls every 10 ms; false when `done` is still false after `seconds`.
bool waitUntil(const std::function<bool()>& done, double seconds) {
    for (const auto start = std::chrono::steady_clock::now(); !done(); usleep(10000)) {
        if (secondsSince(start) > seconds) {
            return false;
        }
    }
    return true;
}
}  // namespace

TEST_F(KeyProgramTest, WhatCouldHangTheGraderEndsWithinTheTimeLimit) {
    REQUIRE_TOOL("tcc");
    storeExam(freshRecord());
    const std::string tools = folder_.path() + "/slow-tools";
    std::filesystem::create_directory(tools);
    const std::string savedPath = std::getenv("PATH");
    struct Case {
        const char* name;
        const char* source;  // nullptr: a named pipe
        bool slowTcc;
        const char* message;
    };
    const Case cases[] = {
        {"signals.c a named pipe", nullptr, false, "no readable signals.c"},
        {"signals.c reads its input", "#include \"/dev/stdin\"\n", false, "signals.c does not compile"},
        {"a compiler that never ends", "double x;\n", true, "the compiler did not finish within 1 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("signals.c");
        c.source != nullptr ? writeFile("signals.c", c.source) : (void)mkfifo("signals.c", 0644);
        if (c.slowTcc) {  // a program: the fence runs no shell script
            writeFile(tools + "/slow.c", "#include <unistd.h>\nint main(void) { sleep(30); return 0; }\n");
            ASSERT_EQ(std::system(("tcc -o " + tools + "/tcc " + tools + "/slow.c").c_str()), 0);
            setenv("PATH", (tools + ":" + savedPath).c_str(), 1);
        }
        int feed[2];  // input that never ends, as a terminal nobody types into
        ASSERT_EQ(pipe(feed), 0);
        const auto start = std::chrono::steady_clock::now();
        const Outcome run = finish(startKey({"grade", "--time-limit", "1"}, feed[0]));
        EXPECT_LT(secondsSince(start), 2.0);
        close(feed[0]);
        close(feed[1]);
        setenv("PATH", savedPath.c_str(), 1);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{});
    }
}

TEST_F(KeyProgramTest, AForkingFunctionDoesNotHoldThePipeOfGrade) {
    REQUIRE_TOOL("tcc");
    storeExam(freshRecord());
    // The child keeps grade's output open while it sleeps.
    writeFile("signals.c", "#include <unistd.h>\n" +
                               answerFile(key_, {{'x', "    static int forked;\n"
                                                       "    if (!forked++ && fork() == 0) {\n"
                                                       "        sleep(30);\n        _exit(0);\n    }\n"
                                                       "    return xKey(t);\n"}}));
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const auto start = std::chrono::steady_clock::now();
    const pid_t key = startKey({"grade"}, -1, pipeEnds[1]);
    close(pipeEnds[1]);
    std::string out;  // as `mock-midterm-key grade | cat` reads it
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<std::size_t>(count));
    }
    const double took = secondsSince(start);
    close(pipeEnds[0]);
    EXPECT_EQ(finish(key).status, 0);
    EXPECT_LT(took, 10) << out;
    EXPECT_EQ(verdicts(out), allRight()) << out;
}

TEST_F(KeyProgramTest, AnInterruptLeavesNoScratchFileAndNoProgramBehind) {
    REQUIRE_TOOL("tcc");
    storeExam(freshRecord());
    const std::string pidFile = folder_.path() + "/running.pid";
    writeFile("signals.c", "#include <stdio.h>\n#include <unistd.h>\n" +
                               answerFile(key_, {{'y', "    FILE *f = fopen(\"" + pidFile +
                                                           "\", \"w\");\n"
                                                           "    fprintf(f, \"%d\", (int)getpid());\n"
                                                           "    fclose(f);\n    for (;;)\n        ;\n"}}));
    // gnuplot as answers finds it, beside the exam folder.
    const std::string gnuplot = folder_.path() + "/gnuplot/bin/gnuplot";
    std::filesystem::create_directories(folder_.path() + "/gnuplot/bin");
    writeFile(gnuplot, "#!/bin/sh\necho $$ > " + pidFile + "\nexec sleep 30\n");
    chmod(gnuplot.c_str(), 0755);
    const std::pair<const char*, int> cases[] = {
        {"grade", SIGINT}, {"grade", SIGTERM}, {"grade", SIGHUP}, {"answers", SIGTERM}};
    for (const auto& [command, signalNumber] : cases) {
        SCOPED_TRACE(std::string(command) + " " + strsignal(signalNumber));
        std::filesystem::remove(pidFile);
        const pid_t key = startKey({command});
        pid_t running = 0;
        ASSERT_TRUE(waitUntil([&] { return (running = std::atoi(readFile(pidFile).c_str())) > 0; }, 10))
            << "y or gnuplot never ran";
        kill(key, signalNumber);
        EXPECT_EQ(finish(key).status, 128 + signalNumber) << "it dies by the signal";
        // Gone, or a zombie waiting to be reaped, once SIGKILL has done its work.
        const std::string stat = "/proc/" + std::to_string(running) + "/stat";
        EXPECT_TRUE(waitUntil([&] { return readFile(stat).find(") R ") == std::string::npos &&
                                           readFile(stat).find(") S ") == std::string::npos; }, 1))
            << "what it ran is still running";
        EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{});
    }
}

TEST_F(KeyProgramTest, AVariantKeepsTheAttemptAndTheExamGoesOnWithIt) {
    REQUIRE_TOOL("tcc");
    REQUIRE_TOOL("gnuplot");
    for (const char* name : {"q1.gp", "signals.c"}) {
        std::filesystem::copy_file(std::string(EXAM_KIT_PATH) + "/" + name, name);
    }
    Outcome run = runProgram(EXAM_PROGRAM_PATH, {}, "12345\n1\nE");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    storeExam(recordFromBytes(readFile("exam.dat")));
    writeFile("signals.c", answerFile(key_));
    const char* const kept[] = {"exam.dat", "signals.c", "MOCK_MIDTERM.txt", "q1plot.dat", "q1.png"};
    std::map<std::string, std::string> attempt;
    for (const char* name : kept) {
        attempt[name] = readFile(name);
    }

    // A hard link at a name a careless writer would use is never written through.
    std::filesystem::create_directory("attempts");
    ASSERT_EQ(link("signals.c", "attempts/README.txt.part"), 0);
    run = runKey({"variant", "37"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const char* name : kept) {
        EXPECT_EQ(readFile(std::string("attempts/1/") + name), attempt[name]) << name;
    }
    EXPECT_NE(readFile("attempts/README.txt").find("\n1  variant 64 (y(t) = x(2t+1)), kept "),
              std::string::npos);
    EXPECT_EQ(readFile("signals.c"), attempt["signals.c"]);
    EXPECT_FALSE(fileExists("MOCK_MIDTERM.txt")) << "the old text must not pass for the new exam's";

    // Variant 37: s = -1, A = 3, p = 3, B = 1, k = -2.
    run = runProgram(EXAM_PROGRAM_PATH, {}, "");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(readFile("MOCK_MIDTERM.txt").find("\n\ty(t) = x(2t-2)\n"), std::string::npos);
    EXPECT_EQ(readFile("q1plot.dat"), "-2 0\n-1 0\n0 3\n1 0\n3 0\n3 1\n4 1\n4 0\n8 0\n8 0\n8 0\n");
    EXPECT_EQ(readFile("q1.png").substr(0, 4), "\x89PNG");
    EXPECT_NE(readFile("q1.png"), attempt["q1.png"]);

    storeExam(recordFromBytes(readFile("exam.dat")));
    run = grade();
    EXPECT_EQ(run.status, 1) << "the first exam's answers" << run.out;
    writeFile("signals.c", answerFile(key_));
    run = grade();
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\n4 of 4 right.\n"), std::string::npos) << run.out;

    // The next attempt comes after the highest kept, not after as many as are
    // kept; a folder at the top of the range cannot overflow the number.
    std::filesystem::create_directories("attempts/3");
    writeFile("attempts/3/signals.c", "");
    std::filesystem::create_directory("attempts/2147483647");
    run = runKey({"variant", "38"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(fileExists("attempts/4/exam.dat")) << run.out;
}

namespace {
// Every file under `folder`, by path, with its content.
std::map<std::string, std::string> filesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files[entry.path().string()] = entry.is_regular_file() ? readFile(entry.path().string()) : "";
    }
    return files;
}
}  // namespace

TEST_F(KeyProgramTest, ProgressGradesEveryAttemptAndDrawsWhenEachQuestionWasRight) {
    REQUIRE_TOOL("tcc");
    REQUIRE_TOOL("gnuplot");
    std::filesystem::copy_file(std::string(EXAM_KIT_PATH) + "/q1.gp", "q1.gp");
    // gnuplot as found through PATH, which keeps the data it was given.
    const std::string tools = folder_.path() + "/tools";
    std::filesystem::create_directory(tools);
    writeFile(tools + "/gnuplot", "#!/bin/sh\nfor last; do :; done\ncp \"$(dirname \"$last\")/plot.dat\" \"" +
                                      folder_.path() + "/plot.dat\"\nPATH=\"" + std::getenv("PATH") +
                                      "\" exec gnuplot \"$@\"\n");
    std::filesystem::permissions(tools + "/gnuplot", std::filesystem::perms::owner_all);

    // Variant 64: y moved the wrong way; 37: that again, and a z that crashes;
    // 12: no signals.c at all; then all right.
    storeExam(freshRecord());
    writeFile("signals.c", answerFile(key_, {{'y', "    return xKey(2 * t - 1);\n"}}));
    ASSERT_EQ(runKey({"variant", "37"}).status, 0);
    storeExam(recordFromBytes(readFile("exam.dat")));
    writeFile("signals.c", answerFile(key_, {{'y', "    return xKey(2 * t + 2);\n"},
                                             {'z', "    volatile int zero = 0;\n    return 1 / zero;\n"}}));
    ASSERT_EQ(runKey({"variant", "12"}).status, 0);
    std::filesystem::remove("signals.c");
    ASSERT_EQ(runKey({"variant", "13"}).status, 0);
    storeExam(recordFromBytes(readFile("exam.dat")));
    writeFile("signals.c", answerFile(key_));
    const std::map<std::string, std::string> kept = filesUnder("attempts");

    const std::string path = std::getenv("PATH");
    setenv("PATH", (tools + ":" + path).c_str(), 1);
    const Outcome run = runKey({"progress", "--time-limit", "2"});
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    std::vector<std::string> shown = lines(run.out);
    ASSERT_GE(shown.size(), 4u) << run.out;
    for (std::string& line : shown) {  // the times kept vary
        const std::size_t at = line.find(", kept ");
        if (at != std::string::npos) {
            line.erase(at, line.find(", variant") - at);
        }
    }
    const std::vector<std::string> attempts(shown.begin(), shown.begin() + 4);
    EXPECT_EQ(attempts, (std::vector<std::string>{
                            "attempt 1, variant 64: 3 of 4 (Q1 right, Q2 wrong, Q3 right, Q4 right)",
                            "attempt 2, variant 37: 2 of 4 (Q1 right, Q2 wrong, Q3 crashed, Q4 right)",
                            "attempt 3, variant 12: not graded: no signals.c",
                            "now, variant 13: 4 of 4 (Q1 right, Q2 right, Q3 right, Q4 right)"}));
    EXPECT_NE(run.out.find("\nMistakes that came back:\n  Question 2, in attempts 1 and 2: your y(t) is "
                           "x(2t+2), moved the wrong way\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nYour attempts are drawn in progress.png.\n"), std::string::npos) << run.out;
    EXPECT_EQ(readFile("progress.png").substr(0, 4), "\x89PNG");
    const std::string data = readFile(folder_.path() + "/plot.dat");
    EXPECT_NE(data.find("# attempt score\n1 3\n2 2\n4 4\n\n\n"), std::string::npos) << data;
    EXPECT_NE(data.find("\n2 3 3 "), std::string::npos) << "attempt 2's z crashed\n" << data;
    EXPECT_NE(data.find("\n3 1 0 "), std::string::npos) << "attempt 3 was not graded\n" << data;
    EXPECT_EQ(filesUnder("attempts"), kept) << "nothing is written into attempts/";
    EXPECT_EQ(keyScratchLeft(), std::vector<std::string>{});
}
