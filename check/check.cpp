#include "check/check.h"

#include <cstdio>

int checkSignals(const char* path, const ExamServices& services) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        std::printf("Error opening file: %s", path);
        return -1;
    }
    std::fclose(file);
    char command[80];
    const int length = std::snprintf(command, sizeof command, "tcc.exe -c %s", path);
    if (length < 0 || length >= static_cast<int>(sizeof command)) {
        return -1;  // a cut-off command would compile some other file
    }
    return services.runCommand(command) == 0 ? 0 : -1;
}
