#include "key/gradebook/class_results.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <string_view>

#include "key/mistakes/diagnosis.h"

namespace {
// The named mistakes the summary lists per question, most common first.
constexpr std::size_t mistakesListed = 3;
// The score distribution's bar of the whole class.
constexpr std::size_t widestBar = 40;

// What stands for a mistake of no kind in an outcome's line.
constexpr std::string_view noKind = "-";

// One value per line: a line end inside one (a two-line mistake) is escaped.
std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Reads the whole numbers of `text`, separated by single blanks, into `numbers`.
// Returns the rest of the text after them.
std::string_view readNumbers(std::string_view text, long* const* numbers, std::size_t count,
                             bool* ok) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *numbers[i]);
        if (error != std::errc{}) {
            *ok = false;
            return {};
        }
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        if (!text.empty() && text[0] == ' ') {
            text.remove_prefix(1);
        }
    }
    return text;
}

int decodeLine(std::string_view line, FolderResult* result, bool* ended) {
    const std::size_t space = line.find(' ');
    const std::string_view name = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? "" : line.substr(space + 1);
    bool ok = true;
    if (name == "status") {
        result->status = unescaped(rest);
    } else if (name == "exam") {
        long group = 0, variant = 0, own = 0;
        long* const numbers[] = {&result->id, &group, &variant, &own};
        readNumbers(rest, numbers, 4, &ok);
        result->group = static_cast<int>(group);
        result->variant = static_cast<int>(variant);
        result->ownVariant = static_cast<int>(own);
        result->examRead = ok;
    } else if (name == "answer") {
        long question = 0, answer = 0;
        long* const numbers[] = {&question, &answer};
        const std::string_view mistake = readNumbers(rest, numbers, 2, &ok);
        const std::size_t gap = mistake.find(' ');
        if (!ok || question < 1 || question > questionCount || answer < notGraded ||
            answer > answerTimedOut || gap == std::string_view::npos) {
            return -1;
        }
        result->answers[question - 1] = static_cast<int>(answer);
        const std::string_view kind = mistake.substr(0, gap);
        result->mistakeKinds[question - 1] = kind == noKind ? "" : std::string(kind);
        result->mistakes[question - 1] = unescaped(mistake.substr(gap + 1));
    } else if (name == "score") {
        long score = 0;
        long* const numbers[] = {&score};
        readNumbers(rest, numbers, 1, &ok);
        result->score = static_cast<int>(score);
    } else if (name == "end") {
        *ended = true;
    }
    return ok ? 0 : -1;
}

std::string percent(int part, int whole) {
    return std::to_string(whole > 0 ? (200 * part + whole) / (2 * whole) : 0);
}

// Lines of "count reason", most common first, then in the order of the text.
std::vector<std::pair<int, std::string>> byCount(const std::map<std::string, int>& counts) {
    std::vector<std::pair<int, std::string>> sorted;
    sorted.reserve(counts.size());
    for (const auto& [text, count] : counts) {
        sorted.emplace_back(count, text);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    return sorted;
}

// The mistakes made of one question, counted by kind, each kind shown by its
// most common text.
std::vector<std::pair<int, std::string>> mistakesByKind(const std::vector<FolderResult>& rows, int question) {
    std::map<std::string, std::map<std::string, int>> texts;  // kind: what it says: count
    for (const FolderResult& row : rows) {
        const int answer = row.answers[question];
        if (answer != notGraded && answer != answerRight && !row.mistakes[question].empty()) {
            // A mistake of no kind, or one two kinds fit, counts by its own words.
            const std::string& kind = row.mistakeKinds[question];
            const std::string what = diagnosisHeadline(row.mistakes[question]);
            ++texts[kind.empty() || kind == "uncertain" ? "text:" + what : kind][what];
        }
    }
    std::map<std::string, int> shown;
    for (const auto& [kind, byText] : texts) {
        int count = 0;
        for (const auto& [text, n] : byText) {
            count += n;
        }
        const auto sorted = byCount(byText);
        shown[sorted.front().second + (byText.size() > 1 ? ", or alike" : "")] = count;
    }
    return byCount(shown);
}

// "Question 2: 41 % right (49 of 120); 23 of 120: <mistake>; 3 crashed".
std::string questionLine(const std::vector<FolderResult>& rows, int question, int graded) {
    int right = 0, crashed = 0, timedOut = 0;
    for (const FolderResult& row : rows) {
        const int answer = row.answers[question];
        right += answer == answerRight ? 1 : 0;
        crashed += answer == answerCrashed ? 1 : 0;
        timedOut += answer == answerTimedOut ? 1 : 0;
    }
    std::string line = "Question " + std::to_string(question + 1) + ": " + percent(right, graded) +
                       " % right (" + std::to_string(right) + " of " + std::to_string(graded) + ")";
    const auto sorted = mistakesByKind(rows, question);
    for (std::size_t i = 0; i < sorted.size() && i < mistakesListed; ++i) {
        line += "; " + std::to_string(sorted[i].first) + " of " + std::to_string(graded) + ": " +
                sorted[i].second;
    }
    if (crashed > 0) {
        line += "; " + std::to_string(crashed) + " crashed";
    }
    if (timedOut > 0) {
        line += "; " + std::to_string(timedOut) + " timed out";
    }
    return line + "\n";
}

void addFlag(FolderResult* row, const std::string& flag) {
    row->flags += (row->flags.empty() ? "" : "; ") + flag;
}

// The groups of two or more rows sharing a key, each as its folders.
template <typename Key>
std::vector<std::vector<std::size_t>> sharedGroups(const std::map<Key, std::vector<std::size_t>>& byKey) {
    std::vector<std::vector<std::size_t>> groups;
    for (const auto& [key, members] : byKey) {
        if (members.size() > 1) {
            groups.push_back(members);
        }
    }
    return groups;
}

std::string folderList(const std::vector<FolderResult>& rows, const std::vector<std::size_t>& members) {
    std::string list;
    for (std::size_t i = 0; i < members.size(); ++i) {
        list += (i > 0 ? ", " : "") + rows[members[i]].folder;
    }
    return list;
}
}  // namespace

const char* answerResultText(int result) {
    switch (result) {
    case answerRight:
        return "right";
    case answerWrong:
        return "wrong";
    case answerCrashed:
        return "crashed";
    case answerTimedOut:
        return "timed out";
    default:
        return "not graded";
    }
}

std::string encodeOutcome(const FolderResult& result) {
    std::string text = "status " + escaped(result.status) + "\n";
    if (result.examRead) {
        text += "exam " + std::to_string(result.id) + " " + std::to_string(result.group) + " " +
                std::to_string(result.variant) + " " + std::to_string(result.ownVariant) + "\n";
    }
    for (int i = 0; i < questionCount; ++i) {
        const std::string& kind = result.mistakeKinds[i];
        text += "answer " + std::to_string(i + 1) + " " + std::to_string(result.answers[i]) + " " +
                (kind.empty() || kind.find_first_of(" \n") != std::string::npos ? std::string(noKind) : kind) +
                " " + escaped(result.mistakes[i]) + "\n";
    }
    return text + "score " + std::to_string(result.score) + "\nend\n";
}

int decodeOutcome(const std::string& text, FolderResult* result) {
    bool ended = false;
    std::size_t start = 0;
    while (start < text.size() && !ended) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (decodeLine(line, result, &ended) != 0) {
            return -1;
        }
        start = end + 1;
    }
    return ended && !result->status.empty() ? 0 : -1;
}

std::uint64_t contentHash(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : bytes) {
        hash = (hash ^ c) * 1099511628211ULL;
    }
    return hash;
}

std::vector<std::string> flagFolders(std::vector<FolderResult>* rows, bool ownVariants) {
    std::map<long, std::vector<std::size_t>> byId;
    std::map<std::uint64_t, std::vector<std::size_t>> bySource;
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const FolderResult& row = (*rows)[i];
        if (row.examRead && row.id > 0) {
            byId[row.id].push_back(i);
        }
        if (row.sourceRead && row.score > 0) {
            bySource[row.sourceHash].push_back(i);
        }
    }
    std::vector<std::string> findings;
    // Each member gets the flag "<what> in N folders", the summary its folders too.
    const auto flagGroup = [&](const std::vector<std::size_t>& members, const std::string& what) {
        const std::string flag = what + " in " + std::to_string(members.size()) + " folders";
        findings.push_back(flag + ": " + folderList(*rows, members));
        for (const std::size_t i : members) {
            addFlag(&(*rows)[i], flag);
        }
    };
    for (const auto& members : sharedGroups(byId)) {
        flagGroup(members, "ID " + std::to_string((*rows)[members[0]].id));
    }
    for (const auto& members : sharedGroups(bySource)) {
        flagGroup(members, "the same signals.c");
    }
    for (FolderResult& row : *rows) {
        if (ownVariants && row.examRead && row.variant != row.ownVariant) {
            const std::string flag = "variant " + std::to_string(row.variant) +
                                     ", not the student's own (" + std::to_string(row.ownVariant) + ")";
            findings.push_back(row.folder + ": " + flag);
            addFlag(&row, flag);
        }
        // A spreadsheet takes a cell that starts so for a formula: the CSV
        // marks it as text, and the instructor is told.
        if (!row.folder.empty() && std::string_view("=+-@").find(row.folder[0]) != std::string_view::npos) {
            findings.push_back(row.folder + ": the folder's name starts with '" + row.folder[0] +
                               "', which a spreadsheet would read as a formula (the CSV writes it as text)");
        }
    }
    return findings;
}

// Whether a spreadsheet would read the text as a formula: a folder named
// "=HYPERLINK(...)" or a compiler message "-..." must stay text. A number
// ("-1.5") stays a number.
bool readAsFormula(const std::string& value) {
    if (value.empty() || std::string_view("=+-@\t\r").find(value.front()) == std::string_view::npos) {
        return false;
    }
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    return error != std::errc{} || end != value.data() + value.size();
}

std::string csvField(const std::string& value) {
    const bool formula = readAsFormula(value);
    const bool quoted = formula || value.find_first_of(",\"\r\n") != std::string::npos ||
                        (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!quoted) {
        return value;
    }
    // A leading apostrophe is how spreadsheets mark a cell as text.
    std::string field = formula ? "\"'" : "\"";
    for (const char c : value) {
        field += c == '"' ? "\"\"" : std::string(1, c);
    }
    return field + "\"";
}

std::string classCsv(const std::vector<FolderResult>& rows) {
    std::string csv = "folder,ID,group,variant,Q1,Q2,Q3,Q4,Q1 mistake,Q2 mistake,Q3 mistake,"
                      "Q4 mistake,score,status,flags\r\n";
    for (const FolderResult& row : rows) {
        std::vector<std::string> fields{row.folder};
        fields.push_back(row.examRead ? std::to_string(row.id) : "");
        fields.push_back(row.examRead ? std::to_string(row.group) : "");
        fields.push_back(row.examRead && row.variant > 0 ? std::to_string(row.variant) : "");
        for (const int answer : row.answers) {
            fields.push_back(answerResultText(answer));
        }
        for (std::string mistake : row.mistakes) {
            // A gradebook cell holds one line: the diagnosis's lines joined.
            std::replace(mistake.begin(), mistake.end(), '\n', ' ');
            fields.push_back(mistake);
        }
        fields.push_back(row.status == gradedStatus ? std::to_string(row.score) : "");
        fields.push_back(row.status);
        fields.push_back(row.flags);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) {
                csv += ',';
            }
            csv += csvField(fields[i]);
        }
        csv += "\r\n";
    }
    return csv;
}

std::string classSummary(const std::vector<FolderResult>& rows,
                         const std::vector<std::string>& findings) {
    int graded = 0;
    int scores[questionCount + 1] = {};
    std::map<std::string, int> reasons;
    for (const FolderResult& row : rows) {
        if (row.status == gradedStatus) {
            ++graded;
            ++scores[std::clamp(row.score, 0, questionCount)];
        } else {
            // "does not compile: signals.c:3: ..." counts as "does not compile".
            ++reasons[row.status.substr(0, row.status.find(": "))];
        }
    }
    const int total = static_cast<int>(rows.size());
    std::string text = std::to_string(total) + (total == 1 ? " exam folder: " : " exam folders: ") +
                       std::to_string(graded) + " graded, " + std::to_string(total - graded) +
                       " not graded.\n";
    for (const auto& [count, reason] : byCount(reasons)) {
        text += "  " + std::to_string(count) + " " + reason + "\n";
    }
    if (graded > 0) {
        text += "\nScores:\n";
        for (int score = questionCount; score >= 0; --score) {
            char line[64];
            std::snprintf(line, sizeof line, "  %d of %d  %4d", score, questionCount, scores[score]);
            const std::size_t bar = static_cast<std::size_t>(scores[score]) * widestBar /
                                    static_cast<std::size_t>(graded);
            text += line + (bar > 0 ? "  " + std::string(bar, '#') : "") + "\n";
        }
        text += "\n";
        for (int question = 0; question < questionCount; ++question) {
            text += questionLine(rows, question, graded);
        }
    }
    if (!findings.empty()) {
        text += "\nWorth a look:\n";
        for (const std::string& finding : findings) {
            text += "  " + finding + "\n";
        }
    }
    return text;
}

std::vector<std::pair<int, std::string>> commonMistakes(const std::vector<FolderResult>& rows, int question) {
    return mistakesByKind(rows, question);
}

namespace {
// A row per folder whose exam has an ID: `before` the ID, `after` it the score.
std::string scoresById(const std::vector<FolderResult>& rows, const std::string& header,
                       const std::string& before, const std::string& after) {
    std::string csv = header + "\r\n";
    for (const FolderResult& row : rows) {
        if (row.examRead && row.id > 0) {
            csv += before;
            csv += std::to_string(row.id);
            csv += after;
            csv += row.status == gradedStatus ? std::to_string(row.score) : "";
            csv += "\r\n";
        }
    }
    return csv;
}
}  // namespace

std::string canvasCsv(const std::vector<FolderResult>& rows) {
    return scoresById(rows, "Student,ID,SIS User ID,SIS Login ID,Section,Mock midterm", ",,", ",,,");
}

std::string moodleCsv(const std::vector<FolderResult>& rows) {
    return scoresById(rows, "ID,Mock midterm", "", ",");
}
