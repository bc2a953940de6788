#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/random.h"

namespace {
Script currentScript;

int scriptedReadByte() {
    Script& s = currentScript;
    if (s.inputPosition >= s.input.size()) {
        return -1;
    }
    return static_cast<unsigned char>(s.input[s.inputPosition++]);
}

int scriptedKeyWaiting() {
    Script& s = currentScript;
    if (!s.waitingAnswers.empty()) {
        const int answer = s.waitingAnswers.front();
        s.waitingAnswers.erase(s.waitingAnswers.begin());
        return answer;
    }
    return s.inputPosition < s.input.size() ? 1 : -1;
}

void scriptedPause(int) {
    currentScript.savedAtPause.push_back(readFile("exam.dat"));
    if (currentScript.atPause != nullptr) {
        currentScript.atPause();
    }
}

RunResult scriptedRunWithTimeLimit(const char* commandLine, int seconds) {
    currentScript.commands.emplace_back(commandLine);
    currentScript.limits.push_back(seconds);
    return currentScript.commandStatus;
}

#ifdef _WIN32
constexpr const char* temporaryFolderVariable = "TEMP";
void setTemporaryFolder(const char* path) {
    _putenv_s("TEMP", path != nullptr ? path : "");
    _putenv_s("TMP", path != nullptr ? path : "");
}
#else
constexpr const char* temporaryFolderVariable = "TMPDIR";
void setTemporaryFolder(const char* path) {
    if (path != nullptr) {
        setenv("TMPDIR", path, 1);
    } else {
        unsetenv("TMPDIR");
    }
}
#endif

RunResult scriptedRunFenced(const char* commandLine, const char*, int seconds) {
    return scriptedRunWithTimeLimit(commandLine, seconds);
}

void scriptedSeed(std::uint32_t seed) {
    currentScript.seeds.push_back(seed);
    seedRandom(seed);
}

int scriptedDraw() {
    Script& s = currentScript;
    if (s.draws.empty()) {
        return drawRandom();
    }
    return s.draws.at(s.drawPosition++);
}
}  // namespace

Script& script() { return currentScript; }

void resetScript() {
    currentScript = Script{};
    seedRandom(1);  // the source's start-up state
}

const ExamServices& scriptedServices() {
    static const ExamServices services{
        scriptedReadByte, scriptedKeyWaiting, scriptedReadByte, scriptedPause,
        scriptedSeed, scriptedDraw, scriptedRunWithTimeLimit, scriptedRunFenced,
    };
    return services;
}

TempFolder::TempFolder() {
    previous_ = std::filesystem::current_path().string();
    // create_directory says false for a name that is taken: draw another.
    // (Tests run in parallel processes, so a counter would not do.)
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    do {
        path_ = (base / ("mock-midterm-" + std::to_string(random()))).string();
    } while (!std::filesystem::create_directory(path_));
    std::filesystem::current_path(path_);
    // The key's private scratch folders are made here too, where a test sees them.
    const char* temp = std::getenv(temporaryFolderVariable);
    hadTemp_ = temp != nullptr;
    previousTemp_ = hadTemp_ ? temp : "";
    setTemporaryFolder(path_.c_str());
    resetScript();
}

TempFolder::~TempFolder() {
    std::filesystem::current_path(previous_);
    setTemporaryFolder(hadTemp_ ? previousTemp_.c_str() : nullptr);
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string readTextFile(const std::string& name) {
    std::ifstream in(name);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
}

bool fileExists(const std::string& name) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(name, ignored));
}

std::vector<std::string> namesHere(const char* folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ExamRecord patternedRecord() {
    std::string bytes(examRecordSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + 3);
    }
    return recordFromBytes(bytes);
}

ExamRecord recordFromBytes(const std::string& bytes) {
    ExamRecord record{};
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), examRecordSize));
    return record;
}

std::string bytesOf(const ExamRecord& record) {
    return std::string(reinterpret_cast<const char*>(&record), examRecordSize);
}
