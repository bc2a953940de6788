// A class's gradings gathered: one row per exam folder, the gradebook CSV,
// the summary for the instructor and the flags worth a second look. Pure
// functions over the rows; the report (class_report.h) fills them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr int questionCount = 4;

// How one question of a folder came out.
enum AnswerResult {
    notGraded = 0,
    answerRight = 1,
    answerWrong = 2,
    answerCrashed = 3,
    answerTimedOut = 4,
};

// "right", "wrong", "crashed", "timed out", "not graded".
const char* answerResultText(int result);

// The status of a folder that was graded.
constexpr const char* gradedStatus = "graded";

struct FolderResult {
    std::string folder;                // as found under the folders named, UTF-8
    std::string status;                // gradedStatus, or why it was not graded
    bool examRead = false;             // id, group and variants below are known
    long id = 0;
    int group = 0;
    int variant = 0;                   // of its questions, 0 when none of the 200
    int ownVariant = 0;                // the one `variant id` gives the student
    int answers[questionCount] = {};   // AnswerResult per question
    std::string mistakes[questionCount];  // the named mistake, "" when none fits
    std::string mistakeKinds[questionCount];  // its kind in the catalogue ("y.shift-not-halved")
    int score = 0;                     // questions right
    std::string feedback;              // what grade printed, as handed back
    bool sourceRead = false;           // signals.c was read: sourceHash is its
    std::uint64_t sourceHash = 0;
    std::string flags;                 // "; "-separated, for the CSV
};

// The lines a grading worker hands back to the report, and their reading.
// Only the questions, score, status and exam fields travel; the report
// knows the folder. decodeOutcome returns 0, or -1 when the text is not a
// whole outcome (a worker that was stopped).
std::string encodeOutcome(const FolderResult& result);
int decodeOutcome(const std::string& text, FolderResult* result);

// A 64-bit FNV-1a hash, enough to find two equal answer files in a class.
std::uint64_t contentHash(const std::string& bytes);

// Marks the rows worth an instructor's look: the same ID in two folders, the
// same signals.c in two folders that got any question right (untouched kit
// files are all alike), and, with `ownVariants`, an exam that is not the
// student's own variant. Fills each row's flags and returns one line per
// finding for the summary.
std::vector<std::string> flagFolders(std::vector<FolderResult>* rows, bool ownVariants);

// One CSV field as RFC 4180 quotes it: in double quotes, doubled inside,
// when it holds a comma, a quote, a line end or a blank at either end.
// The value is kept exactly.
std::string csvField(const std::string& value);

// The gradebook: a header row and one row per folder, CRLF line ends.
std::string classCsv(const std::vector<FolderResult>& rows);

// The summary: folders graded and not (with the reasons counted, each up to
// its first ": ", so all that do not compile count as one), the score
// distribution, per question the share right and its most common kinds of
// mistake (each shown by what its most common text says, up to the first
// ": "), then the findings of flagFolders.
std::string classSummary(const std::vector<FolderResult>& rows,
                         const std::vector<std::string>& findings);

// The named mistakes of one question (0 to 3), counted by kind, each shown
// by what its most common text says (", or alike" when the texts differ),
// most common first: the summary's list.
std::vector<std::pair<int, std::string>> commonMistakes(const std::vector<FolderResult>& rows, int question);

// The gradebook in the layout Canvas imports: "Student,ID,SIS User ID,SIS
// Login ID,Section" and the assignment "Mock midterm", a row per folder
// whose exam has an ID, the exam's ID as the SIS User ID and the score
// (empty when not graded); the others are left empty for Canvas to match.
std::string canvasCsv(const std::vector<FolderResult>& rows);

// The gradebook as Moodle's CSV import takes it safely: "ID,Mock midterm", a
// row per folder whose exam has an ID (Moodle gives a row with an empty
// identifier the grade of the row before it), the score empty when not graded.
std::string moodleCsv(const std::vector<FolderResult>& rows);
