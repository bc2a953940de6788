#include "record/workspace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace {
// The stream the probe opens and the load takes over; empty otherwise.
std::FILE* workspaceStream = nullptr;

void closeWorkspaceStream() {
    if (workspaceStream != nullptr) {
        std::fclose(workspaceStream);
        workspaceStream = nullptr;
    }
}

void reportUnreadable(const char* reason) {
    std::fprintf(stderr, "mock-midterm: cannot read %s: %s\n", workspaceFileName, reason);
}
}  // namespace

int probeWorkspace() {
    closeWorkspaceStream();
    std::error_code error;
    const auto linkStatus = std::filesystem::symlink_status(workspaceFileName, error);
    if (linkStatus.type() == std::filesystem::file_type::not_found) {
        // Never truncates: if another start created it meanwhile, keep it.
        // (fopen's "x" cannot do this: Windows' C runtime ignores it.)
        createFileIfAbsent(workspaceFileName);
        return 0;
    }
    const auto status = std::filesystem::status(workspaceFileName, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        reportUnreadable("it is a link to nothing");
        return -1;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        reportUnreadable("it is not a regular file");
        return -1;
    }
    workspaceStream = std::fopen(workspaceFileName, "rb");
    if (workspaceStream == nullptr) {
        reportUnreadable(std::strerror(errno));
        return -1;
    }
    return 1;
}

int saveWorkspace(ExamRecord record) {
    closeWorkspaceStream();
    // Opened as it is, a link at the temp name would have the record
    // written into the file it points to, such as the student's answers.
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(workspaceTempName, error))) {
        std::remove(workspaceTempName);
    }
    std::FILE* temp = std::fopen(workspaceTempName, "wb");
    if (temp == nullptr) {
        return -1;
    }
    bool saved = std::fwrite(&record, 1, examRecordSize, temp) == examRecordSize &&
                 flushToDisk(temp) == 0;
    int failure = errno;
    if (std::fclose(temp) != 0 && saved) {
        saved = false;
        failure = errno;
    }
    if (saved && replaceFile(workspaceTempName, workspaceFileName) != 0) {
        saved = false;
        failure = errno;
    }
    if (!saved) {
        std::remove(workspaceTempName);
        errno = failure;
        return -1;
    }
    return 0;
}

int loadWorkspace(ExamRecord* record) {
    closeWorkspaceStream();
    workspaceStream = std::fopen(workspaceFileName, "rb");
    if (workspaceStream == nullptr) {
        return -1;
    }
    const std::size_t count = std::fread(record, 1, examRecordSize, workspaceStream);
    closeWorkspaceStream();
    return count == examRecordSize ? 0 : -1;
}
