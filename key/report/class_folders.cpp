#include "key/report/class_folders.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "record/workspace.h"

namespace fs = std::filesystem;

namespace {
// Deeper than any unpacked download; a mount looping back on itself stops here.
constexpr int deepestSearch = 32;

bool holdsExam(const fs::path& folder) {
    std::error_code error;
    return fs::symlink_status(folder / workspaceFileName, error).type() != fs::file_type::not_found &&
           !error;
}

bool isHidden(const fs::path& folder) {
    const std::string name = utf8Path(folder.filename());
    return name.size() > 1 && name[0] == '.' && name != "..";
}

// Recursion bounded by deepestSearch; links are not followed.
void search(const fs::path& folder, int depth, std::vector<fs::path>* found,  // NOLINT(misc-no-recursion)
            std::vector<std::string>* problems) {
    if (holdsExam(folder)) {
        found->push_back(folder);
        return;
    }
    if (depth >= deepestSearch) {
        problems->push_back(utf8Path(folder) + ": too deep, not searched");
        return;
    }
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::directory_entry& entry = *entries;
        std::error_code typeError;
        if (entry.is_symlink(typeError) || !entry.is_directory(typeError) || isHidden(entry.path())) {
            continue;
        }
        search(entry.path(), depth + 1, found, problems);
    }
    if (error) {
        problems->push_back(utf8Path(folder) + ": " + error.message());
    }
}
}  // namespace

std::string validUtf8(const std::string& text) {
    std::string valid;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
        }
        // Overlong forms and surrogates are no UTF-8 either.
        const auto second = whole && length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0x80;
        whole = whole && !(lead == 0xC0 || lead == 0xC1 || (lead == 0xE0 && second < 0xA0) ||
                           (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
                           (lead == 0xF4 && second >= 0x90) || lead > 0xF4);
        if (whole) {
            valid.append(text, i, length);
            i += length;
        } else {
            valid += "\xEF\xBF\xBD";  // U+FFFD, the replacement character
            ++i;
        }
    }
    return valid;
}

std::string utf8Path(const fs::path& path) {
    // On POSIX a name is any bytes; the gradebook and the summary are UTF-8.
    const std::u8string text = path.generic_u8string();
    return validUtf8(std::string(text.begin(), text.end()));
}

std::vector<fs::path> findExamFolders(const std::vector<fs::path>& roots,
                                      std::vector<std::string>* problems) {
    std::vector<fs::path> found;
    for (const fs::path& root : roots) {
        std::error_code error;
        if (!fs::is_directory(root, error)) {
            problems->push_back(utf8Path(root) + ": not a folder");
            continue;
        }
        search(root.lexically_normal(), 0, &found, problems);
    }
    // A folder named twice (a class and one of its students) is graded once.
    std::set<fs::path> seen;
    std::vector<fs::path> unique;
    for (const fs::path& folder : found) {
        std::error_code error;
        const fs::path real = fs::weakly_canonical(folder, error);
        if (seen.insert(error ? folder : real).second) {
            unique.push_back(folder);
        }
    }
    std::sort(unique.begin(), unique.end());
    return unique;
}
