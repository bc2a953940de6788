#include "check/check.h"

#include <cstdio>

#include "platform/platform.h"

SourceState inspectSource(const char* path) {
    std::FILE* file = nullptr;
    if (openRegularFile(path, &file) != 0) {
        return sourceUnreadable;  // a pipe there would keep the open waiting for ever
    }
    unsigned char start[3] = {0, 0, 0};
    const std::size_t count = std::fread(start, 1, sizeof start, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (count == 0 && failed) {
        return sourceUnreadable;
    }
    const bool mark = count == 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF;
    return mark ? sourceHasByteOrderMark : sourceReady;
}

std::string byteOrderMarkMessage(const char* path) {
    const std::string name = path;
    return name + " starts with a UTF-8 byte-order mark, which the compiler cannot read. Save " +
           name + " again without it: in Notepad, File > Save As with the encoding \"UTF-8\" (not " +
           "\"UTF-8 with BOM\"); in other editors, choose UTF-8 without BOM.\n";
}

int checkSignals(const char* path, const ExamServices& services) {
    const SourceState state = inspectSource(path);
    if (state == sourceUnreadable) {
        std::printf("Error opening file: %s", path);
        return -1;
    }
    if (state == sourceHasByteOrderMark) {
        // tcc's own message points at the first name of the file, not at the mark.
        std::printf("%s", byteOrderMarkMessage(path).c_str());
        return -1;
    }
    char command[80];
    const int length = std::snprintf(command, sizeof command, "tcc.exe -c %s", path);
    if (length < 0 || length >= static_cast<int>(sizeof command)) {
        return -1;  // a cut-off command would compile some other file
    }
    return ranAndSucceeded(runTool(services, command, "tcc", compileTimeLimitSeconds)) ? 0 : -1;
}
