#include "key/variants/attempts.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "generate/exam_rules.h"
#include "generate/mock_midterm.h"
#include "generate/questions.h"
#include "key/model/key_text.h"
#include "platform/platform.h"
#include "record/workspace.h"

namespace fs = std::filesystem;

namespace {
// A kept attempt is gathered here first, so attempts/<n> is either whole or absent.
constexpr std::string_view keepingPrefix = ".keeping-";

// Copies at most `limit` bytes of `source` to `target` through `files`, a
// block at a time, as replaceFileWith writes a file: a temp beside the
// target, synced and renamed over it. Returns 0, notRegularFile, or -1 with
// errno set; no temp is left.
int copyFileWith(const char* source, const char* target, std::uint64_t limit, const FileOps& files) {
    std::FILE* in = nullptr;
    const int opened = openRegularFile(source, &in);
    if (opened != 0) {
        return opened;
    }
    std::string temp;
    std::FILE* out = files.createTemp(target, &temp);
    int failure = out == nullptr ? errno : 0;
    char block[1 << 16];
    while (out != nullptr && failure == 0 && limit > 0) {
        const std::size_t count = std::fread(block, 1, std::min<std::uint64_t>(sizeof block, limit), in);
        if (count == 0) {
            failure = std::ferror(in) != 0 ? EIO : 0;
            break;
        }
        failure = files.write(out, block, count) != 0 ? errno : 0;
        limit -= count;
    }
    std::fclose(in);
    if (out == nullptr) {
        errno = failure;
        return -1;
    }
    failure = failure == 0 && files.sync(out) != 0 ? errno : failure;
    failure = files.close(out) != 0 && failure == 0 ? errno : failure;
    failure = failure == 0 && files.rename(temp.c_str(), target) != 0 ? errno : failure;
    if (failure != 0) {
        files.remove(temp.c_str());
        errno = failure;
        return -1;
    }
    return files.syncFolder(target);
}

std::string timeNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "an unknown time";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", local);
    }
    return text;
}

}  // namespace

std::string reasonOf(int error) {
    return error != 0 ? std::strerror(error) : "failed";
}


std::string variantName(const ExamRecord& record) {
    const int variant = variantOfRecord(record);
    const std::string transform = " (" + formatTransform(record.varQK, record.varQT) + ")";
    return variant > 0 ? "variant " + std::to_string(variant) + transform
                       : "an exam that is none of the " + std::to_string(variantCount) + " variants" +
                             transform;
}


int attemptNumberOf(const std::string& name) {
    int number = 0;
    if (parseWholeNumber(name, 1, INT_MAX - 1, &number) != 0 || std::to_string(number) != name) {
        return 0;
    }
    return number;
}

std::map<int, std::string> surveyAttempts(bool (&taken)[variantCount]) {
    std::map<int, std::string> kept;
    std::error_code error;
    // increment(error), not ++: a listing that fails ends the survey, it does not throw.
    for (fs::directory_iterator entry(attemptsFolderName, error); entry != fs::directory_iterator();
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const bool gathering = name.compare(0, keepingPrefix.size(), keepingPrefix) == 0;
        const int number = attemptNumberOf(gathering ? name.substr(keepingPrefix.size()) : name);
        if (number == 0) {
            continue;
        }
        if (gathering) {
            if (entry->symlink_status(error).type() == fs::file_type::directory) {
                std::error_code ignored;
                fs::remove_all(entry->path(), ignored);
            }
            continue;
        }
        ExamRecord record{};
        if (loadRecordFile((entry->path() / workspaceFileName).string().c_str(), &record) == 0) {
            const int variant = variantOfRecord(record);
            if (variant > 0) {
                taken[variant - 1] = true;
            }
            kept[number] = variantName(record);
        } else {
            kept[number] = "an exam whose exam.dat is missing";
        }
    }
    return kept;
}


namespace {
// Copies the attempt's files into the folder `gathering`. Returns 0, or -1
// after saying why, the folder gone.
int copyAttemptFiles(const ExamRecord& record, const std::string& gathering, const FileOps& files) {
    std::error_code error;
    const std::string names[] = {workspaceFileName, studentSourceName, mockMidtermFileName,
                                 plotDataFileName,  plotPictureFileName, std::to_string(record.idNum) + ".pdf"};
    for (const std::string& name : names) {
        if (fs::symlink_status(name, error).type() == fs::file_type::not_found) {
            continue;
        }
        std::string copy = gathering;
        copy += "/";
        copy += name;
        // The exam reads the first 144 bytes of exam.dat and nothing else:
        // those are its copy, however long the file has grown.
        const std::uint64_t limit = name == workspaceFileName ? examRecordSize : UINT64_MAX;
        const int copied = copyFileWith(name.c_str(), copy.c_str(), limit, files);
        if (copied != 0) {
            const std::string reason = copied == notRegularFile ? "it is not a regular file" : reasonOf(errno);
            fs::remove_all(gathering, error);
            std::string message = "cannot keep your attempt: ";
            message += name;
            message += ": " + reason + ". Nothing was changed.";
            sayProblem(message);
            return -1;
        }
    }
    return 0;
}

// Adds the attempt's line to attempts/README.txt, and the lines of earlier
// ones that a stopped run did not note. Returns 0, or -1 after saying why.
int noteAttempt(const ExamRecord& record, const std::map<int, std::string>& earlier, int number,
                int nextVariant, const std::string& folder, const FileOps& files) {
    std::string readme;
    if (readWholeFile(attemptsReadmeName, &readme, true) != 0) {
        readme = "Earlier attempts in this exam folder, kept by " + std::string(keyProgramName) +
                 " variant.\n"
                 "Each numbered folder holds the attempt's exam.dat, signals.c,\n"
                 "MOCK_MIDTERM.txt, q1plot.dat, q1.png and PDF as they were.\n\n";
    }
    for (const auto& [earlierNumber, name] : earlier) {
        const std::string line = std::to_string(earlierNumber) + "  ";
        if (readme.compare(0, line.size(), line) != 0 && readme.find("\n" + line) == std::string::npos) {
            readme += line + name + ", kept at a time not noted\n";
        }
    }
    readme += std::to_string(number) + "  " + variantName(record) + ", kept " + timeNow() +
              "; then variant " + std::to_string(nextVariant) + "\n";
    if (replaceFileWith(attemptsReadmeName, readme.data(), readme.size(), files, true) != 0) {
        // The copy is whole and stays; only the exam must not change unnoted.
        sayProblem(std::string("cannot write ") + attemptsReadmeName + ": " + reasonOf(errno) +
            ". The exam was not changed; a copy of it is in " + folder + ".");
        return -1;
    }
    return 0;
}

}  // namespace

int keepAttempt(const ExamRecord& record, const std::map<int, std::string>& earlier, int number,
                int nextVariant, const FileOps& files) {
    const std::string folder = std::string(attemptsFolderName) + "/" + std::to_string(number);
    const std::string gathering =
        std::string(attemptsFolderName) + "/" + std::string(keepingPrefix) + std::to_string(number);
    std::error_code error;
    if (!fs::create_directory(gathering, error)) {
        sayProblem("cannot keep your attempt: cannot make " + gathering + ": " + error.message() +
            ". Nothing was changed.");
        return -1;
    }
    if (copyAttemptFiles(record, gathering, files) != 0) {
        return -1;
    }
    if (files.rename(gathering.c_str(), folder.c_str()) != 0) {
        const int failure = errno;
        fs::remove_all(gathering, error);
        sayProblem("cannot keep your attempt in " + folder + ": " + reasonOf(failure) +
            ". Nothing was changed.");
        return -1;
    }
    return noteAttempt(record, earlier, number, nextVariant, folder, files);
}
