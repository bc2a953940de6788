#include "platform/services.h"

#include "platform/platform.h"
#include "platform/random.h"

const ExamServices& platformServices() {
    static const ExamServices services{
        readKey,    keyWaiting, readLineByte, pauseMilliseconds,
        runCommand, seedRandom, drawRandom,   runCommandWithTimeLimit,
    };
    return services;
}
