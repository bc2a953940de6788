// Scripted services and a throw-away working folder for the exam's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/services.h"
#include "record/record.h"

struct Script {
    std::string input;             // what the student types, keys and lines alike
    std::size_t inputPosition = 0;
    std::vector<int> waitingAnswers;  // keyWaiting's answers before it looks at input
    std::vector<int> draws;        // scripted random draws; empty: the real source
    std::size_t drawPosition = 0;
    std::vector<std::uint32_t> seeds;
    std::vector<std::string> commands;
    std::vector<int> limits;       // the time limit of each command, 0: none
    RunResult commandStatus;       // how every command runs
    std::vector<std::string> savedAtPause;  // "exam.dat" as each turn left it
    void (*atPause)() = nullptr;  // run at each pause, after savedAtPause is taken
};

// The script the services below play; reset by resetScript().
Script& script();
void resetScript();
const ExamServices& scriptedServices();

// Creates a fresh folder, makes it the working folder, and removes it again.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    std::string previousTemp_;
    bool hadTemp_ = false;
};

std::string readFile(const std::string& name);
// Reads a text file as the C library reads text: line ends come back as "\n"
// whatever the platform writes ("\r\n" on Windows).
std::string readTextFile(const std::string& name);
void writeFile(const std::string& name, const std::string& content);
bool fileExists(const std::string& name);
// The names in the folder (the working one by default), sorted: a save must
// leave no temp file.
std::vector<std::string> namesHere(const char* folder = ".");

// A record whose every byte differs from its neighbours, reserved ones too.
ExamRecord patternedRecord();
ExamRecord recordFromBytes(const std::string& bytes);
std::string bytesOf(const ExamRecord& record);
