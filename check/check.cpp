#include "check/check.h"

#include <cstdio>

int checkSignals(const char* path, const ExamServices& services) {
    std::FILE* file = std::fopen(path, "r");
    // A folder opens on POSIX but cannot be read; the compiler would then
    // see an empty file and accept it.
    const bool readable = file != nullptr && (std::fgetc(file) != EOF || std::ferror(file) == 0);
    if (file != nullptr) {
        std::fclose(file);
    }
    if (!readable) {
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
