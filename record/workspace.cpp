#include "record/workspace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {
void reportUnreadable(const char* reason) {
    std::fprintf(stderr, "mock-midterm: cannot read %s: %s\n", workspaceFileName, reason);
}
}  // namespace

int claimWorkspace(bool byKey) {
    const int locked = lockExamFolder(byKey);
    if (locked == 0) {
        removeStaleTemps(workspaceFileName);
    }
    return locked;
}

int probeWorkspace() {
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
    std::FILE* stream = std::fopen(workspaceFileName, "rb");
    if (stream == nullptr) {
        reportUnreadable(std::strerror(errno));
        return -1;
    }
    std::fclose(stream);
    return 1;
}

int saveWorkspaceWith(const ExamRecord& record, const FileOps& files) {
    return replaceFileWith(workspaceFileName, &record, examRecordSize, files);
}

int saveWorkspace(const ExamRecord& record) { return saveWorkspaceWith(record, platformFileOps()); }

int loadRecordFile(const char* path, ExamRecord* record) {
    std::FILE* stream = nullptr;
    const int opened = openRegularFile(path, &stream);
    if (opened != 0) {
        return opened;
    }
    const std::size_t count = std::fread(record, 1, examRecordSize, stream);
    std::fclose(stream);
    return count == examRecordSize ? 0 : -1;
}

int loadWorkspace(ExamRecord* record) { return loadRecordFile(workspaceFileName, record) == 0 ? 0 : -1; }
