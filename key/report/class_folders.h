// Finding a class's exam folders: every folder holding an "exam.dat" at or
// under the folders the instructor names, as a learning platform's bulk
// download unpacks the students' uploads (a folder per student, any depth).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The exam folders at or under `roots`, each once, sorted by path. A folder
// holding exam.dat is one student's, and nothing below it is searched (its
// attempts/ keeps earlier exams). Links to folders are not followed, so no
// loop is walked; hidden folders, the key's scratch folders among them, are
// passed over. What cannot be searched is named in *problems.
std::vector<std::filesystem::path> findExamFolders(const std::vector<std::filesystem::path>& roots,
                                                   std::vector<std::string>* problems);

// The text with every byte that is not part of valid UTF-8 as U+FFFD.
std::string validUtf8(const std::string& text);

// The path as valid UTF-8, whatever the system's own encoding of names.
std::string utf8Path(const std::filesystem::path& path);
