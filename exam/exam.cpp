#include "exam/exam.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "check/check.h"
#include "exam/identify.h"
#include "generate/mock_midterm.h"
#include "generate/pdf.h"
#include "generate/questions.h"
#include "platform/platform.h"
#include "record/record.h"
#include "record/workspace.h"

namespace {
constexpr int turnPauseMilliseconds = 100;
// AwaitKey is reached only from a stored workspace; Enter takes it back to
// the menu.
constexpr unsigned char awaitedKey = 13;
constexpr ExamState resumeState = Menu;

// Returns 1 when the workspace cannot be read and the exam must stop.
int restoreExam(ExamRecord* record, ExamState* next) {
    const int found = probeWorkspace();
    if (found < 0) {
        return 1;
    }
    if (found == 0) {
        record->idNum = 0;
        *next = Identify;
        return 0;
    }
    std::printf("Exam workspace exists. Restoring to previously saved state.\n");
    if (loadWorkspace(record) != 0) {
        // A short or empty file holds no exam: start a new one.
        *record = ExamRecord{};
        *next = Identify;
    } else if (record->state == Restore) {
        // Restoring again would never end; a stored ID leads to its confirmation.
        *next = Identify;
    } else if (record->state == Exiting) {
        *next = Menu;  // an exam that has ended reopens at its menu
    } else {
        *next = static_cast<ExamState>(record->state);
    }
    return 0;
}

void awaitKey(ExamState* next, const ExamServices& services) {
    const int waiting = services.keyWaiting();
    if (waiting == 0) {
        *next = AwaitKey;
        return;
    }
    const int key = waiting < 0 ? -1 : services.readKey();
    if (key < 0) {
        *next = Exiting;  // no more input: leave as if the student chose to
        return;
    }
    const unsigned char lastKey = static_cast<unsigned char>(key);
    std::printf("%d %c\n", lastKey, lastKey);
    if (lastKey == awaitedKey) {
        *next = resumeState;
    }
}

void showMenu(ExamState* next, const ExamServices& services) {
    std::printf("\n\nPress <Y> to run a check on signals.c. Press <E> to exit the program. ");
    const int key = services.readKey();
    if (key == 'Y' || key == 'y') {
        std::printf("\nChecking signals.c...\n\n");
        if (checkSignals(studentSourceName, services) == 0) {
            std::printf("ok\n\n");
        }
        *next = Menu;
    } else if (key == 'E' || key == 'e' || key < 0) {
        *next = Exiting;
    }
}

// One turn's action: the current state's step, which chooses the next state.
// Returns true when the program ends, with its exit status in *status.
bool runStep(ExamState current, ExamRecord* record, ExamState* next, char (&commandBuffer)[80],
             const ExamServices& services, int* status) {
    switch (current) {
    case Restore:
        *status = 1;
        return restoreExam(record, next) != 0;
    case Identify:
        *status = -1;
        return identifyStudent(record, next, services) != 0;
    case AwaitKey:
        awaitKey(next, services);
        break;
    case MakeQuestion1:
        makeQuestion1(record, services);
        *next = MakeQuestion2;
        break;
    case MakeQuestion2:
        makeQuestion2(record, services);
        *next = WriteText;
        break;
    case MakeWindow:
        makeWindow(record, services);
        *next = Menu;
        break;
    case WriteText:
        writeMockMidterm(*record);
        std::printf("\n%s has been generated.\nOpen it and follow the instructions.", mockMidtermFileName);
        *next = Menu;
        break;
    case BuildPdf:
        buildExamPdf(*record, commandBuffer, services);
        *next = Menu;
        break;
    case Menu:
        showMenu(next, services);
        break;
    case Exiting:
        std::printf("\n\nexiting.\n");
        *status = 0;
        return true;
    }
    return false;
}
}  // namespace

int runExam() {
    if (claimWorkspace() == 1) {
        std::fprintf(stderr, examFolderLockedByKey()
                                 ? "mock-midterm: mock-midterm-key is changing this folder's exam "
                                   "or its plot: start the exam again once it has ended.\n"
                                 : "mock-midterm: another copy of the exam is running in this folder.\n");
        return 1;
    }
    startConsole();
    return runExamWith(platformServices());
}

int runExamWith(const ExamServices& services) {
    ExamRecord record{};
    ExamState current = Restore;
    ExamState next = Restore;
    char commandBuffer[80] = {};
    bool saveFailureReported = false;
    for (;;) {
        if (static_cast<std::uint32_t>(current) > static_cast<std::uint32_t>(Exiting)) {
            return 0;
        }
        int status = 0;
        if (runStep(current, &record, &next, commandBuffer, services, &status)) {
            return status;
        }
        current = next;
        record.state = current;
        if (saveWorkspace(record) != 0 && !saveFailureReported) {
            // The exam goes on, but the student must know it will not come back.
            std::fprintf(stderr,
                         "\nmock-midterm: cannot save %s: %s. The exam goes on, but it "
                         "cannot be resumed if it is interrupted.\n",
                         workspaceFileName, std::strerror(errno));
            saveFailureReported = true;
        }
        services.pause(turnPauseMilliseconds);
    }
}
