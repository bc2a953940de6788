// The files of an exam folder, named once for both programs: what the course
// puts there, what the exam writes and what the key draws beside them.
#pragma once

// The course's files.
constexpr const char* studentSourceName = "signals.c";  // the student's answers
constexpr const char* plotScriptFileName = "q1.gp";     // draws q1.png from q1plot.dat
constexpr const char* examDocumentFileName = "create.tex";

// What the exam writes.
constexpr const char* workspaceFileName = "exam.dat";
constexpr const char* plotDataFileName = "q1plot.dat";
constexpr const char* plotPictureFileName = "q1.png";  // as the course's q1.gp names it
constexpr const char* mockMidtermFileName = "MOCK_MIDTERM.txt";
constexpr const char* defsFileName = "defs.tex";

// What the key draws.
constexpr const char* keyPlotName = "key.png";
constexpr const char* checkPlotName = "check.png";
