#include "platform/services.h"

#include <cstdio>

#include "platform/fence.h"
#include "platform/platform.h"
#include "platform/random.h"

const ExamServices& platformServices() {
    static const ExamServices services{
        readKey,    keyWaiting, readLineByte,           pauseMilliseconds,
        seedRandom, drawRandom, runCommandWithTimeLimit, runFenced,
    };
    return services;
}

RunResult runTool(const ExamServices& services, const char* commandLine, const char* tool, int seconds,
                  const char* writer) {
    const RunResult status = services.runCommandWithTimeLimit(commandLine, seconds);
    if (status.timedOut) {
        std::fprintf(stderr, "%s: %s did not finish within %d s and was stopped.\n", writer, tool,
                     seconds);
    }
    return status;
}
