#include "check/check.h"

#include <cstdio>

#include "platform/platform.h"

bool isReadableSource(const char* path) {
    std::FILE* file = nullptr;
    if (openRegularFile(path, &file) != 0) {
        return false;  // a pipe there would keep the open waiting for ever
    }
    const bool readable = std::fgetc(file) != EOF || std::ferror(file) == 0;
    std::fclose(file);
    return readable;
}

bool startsWithByteOrderMark(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    unsigned char start[3] = {0, 0, 0};
    const std::size_t count = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    return count == 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF;
}

std::string byteOrderMarkMessage(const char* path) {
    const std::string name = path;
    return name + " starts with a UTF-8 byte-order mark, which the compiler cannot read. Save " +
           name + " again without it: in Notepad, File > Save As with the encoding \"UTF-8\" (not " +
           "\"UTF-8 with BOM\"); in other editors, choose UTF-8 without BOM.\n";
}

int checkSignals(const char* path, const ExamServices& services) {
    if (!isReadableSource(path)) {
        std::printf("Error opening file: %s", path);
        return -1;
    }
    if (startsWithByteOrderMark(path)) {
        // tcc's own message points at the first name of the file, not at the mark.
        std::printf("%s", byteOrderMarkMessage(path).c_str());
        return -1;
    }
    char command[80];
    const int length = std::snprintf(command, sizeof command, "tcc.exe -c %s", path);
    if (length < 0 || length >= static_cast<int>(sizeof command)) {
        return -1;  // a cut-off command would compile some other file
    }
    return services.runCommand(command) == 0 ? 0 : -1;
}
