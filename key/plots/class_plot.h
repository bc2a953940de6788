// class.png: a class's report drawn, the score distribution and per question
// how the answers came out, with the mistakes named most often.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/services.h"

constexpr const char* classPlotName = "class.png";
constexpr int plottedQuestions = 4;
// How a question came out, in the report's order: not graded, right, wrong,
// crashed, timed out.
constexpr int plottedResults = 5;

struct ClassPicture {
    int folders = 0;                          // exam folders found
    int scores[plottedQuestions + 1] = {};    // folders graded with each score
    int results[plottedQuestions][plottedResults] = {};
    // Per question, the mistakes named most often: how many, what each says.
    std::vector<std::pair<int, std::string>> mistakes[plottedQuestions];
};

// Writes the gnuplot script and its data that draw `picture` into `pngName`.
// The data holds three sets, each line the numbers it draws: "score
// folders"; "question right wrong crashed timed-out not-graded"; and
// "question count \"label\"" for the mistakes. Returns 0, or -1 when a file
// could not be written.
int writeClassPlot(const ClassPicture& picture, const char* scriptName, const char* dataName,
                   const char* pngName);

// Draws `pngPath` with gnuplot from a scratch folder of its own. Returns 0,
// or -1 after saying in one line on stderr why it was not drawn.
int drawClassPlot(const ClassPicture& picture, const ExamServices& services, const std::string& pngPath);
