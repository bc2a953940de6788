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

int checkSignals(const char* path, const ExamServices& services) {
    if (!isReadableSource(path)) {
        std::printf("Error opening file: %s", path);
        return -1;
    }
    char command[80];
    const int length = std::snprintf(command, sizeof command, "tcc.exe -c %s", path);
    if (length < 0 || length >= static_cast<int>(sizeof command)) {
        return -1;  // a cut-off command would compile some other file
    }
    return services.runCommand(command) == 0 ? 0 : -1;
}
