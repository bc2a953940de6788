// Exam records for the answer key's tests, made as the exam makes them.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "generate/exam_rules.h"
#include "record/record.h"

// The record of an exam whose Question 1 triangle starts at s with peak a,
// whose pulse of height b runs from p to p + 1, and whose Question 2 asks for
// y(t) = x(2t + k); saved at the menu, as a finished exam is.
inline ExamRecord examRecord(int s, int a, int p, int b, int k) {
    ExamRecord record{};
    record.state = Menu;
    record.idNum = 12345;
    record.grpNum = 1;
    // The shape itself is checked against hand-worked breakpoints in
    // tests/generate/questions_test.cpp.
    writeQuestion1({s, a, p, b, timeScale, k}, &record);
    record.varQT = k;
    record.varQK = 2;
    record.varTstart = 0.25;
    record.varTend = 0.5;
    record.varAmp = -1;
    return record;
}

// A fresh exam: s = 0, a = 3, p = 3, b = -1, k = 1.
inline ExamRecord freshRecord() { return examRecord(0, 3, 3, -1, 1); }

// Reads a file as text, so Windows' "\r\n" comes back as "\n".
inline std::string readText(const char* name) {
    std::string text;
    if (std::FILE* file = std::fopen(name, "r")) {
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
            text += static_cast<char>(c);
        }
        std::fclose(file);
    }
    return text;
}

// The names in the working folder that the key's scratch files would have.
inline std::vector<std::string> keyScratchLeft() {
    std::vector<std::string> left;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(".", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".key-", 0) == 0) {
            left.push_back(name);
        }
    }
    std::sort(left.begin(), left.end());
    return left;
}

// A command line with the scratch folder's random part as "*".
inline std::string withScratchStar(std::string line) {
    for (const std::string prefix : {".key-harness.", ".key-plot."}) {
        for (std::size_t at = line.find(prefix); at != std::string::npos;
             at = line.find(prefix, at + 1)) {
            const std::size_t start = at + prefix.size();
            line = line.substr(0, start) + "*" + line.substr(std::min(start + 6, line.size()));
        }
    }
    return line;
}
