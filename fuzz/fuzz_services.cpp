#include "fuzz_services.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/random.h"

namespace {
const std::uint8_t* input = nullptr;
std::size_t inputSize = 0;
std::size_t inputPosition = 0;
std::size_t turns = 0;
std::size_t turnLimit = 0;

int nextByte() { return inputPosition < inputSize ? input[inputPosition++] : -1; }

int keyWaiting() { return inputPosition < inputSize ? 1 : -1; }

void pause(int) {
    ++turns;
    require(turns <= turnLimit, "more turns than the input can explain: a loop without end");
}

RunResult runWithTimeLimit(const char*, int) { return exitedWith(0); }
RunResult runFenced(const char*, const char*, int) { return exitedWith(0); }
}  // namespace

void playInput(const std::uint8_t* bytes, std::size_t size) {
    input = bytes;
    inputSize = size;
    inputPosition = 0;
    turns = 0;
    turnLimit = 2 * size + 16;
    seedRandom(1);  // as a fresh process starts
}

std::size_t inputRead() { return inputPosition; }

const ExamServices& fuzzServices() {
    static const ExamServices services{
        nextByte, keyWaiting, nextByte, pause, seedRandom, drawRandom, runWithTimeLimit, runFenced,
    };
    return services;
}

void enterScratchFolder() {
    // Memory-backed where there is one: every save syncs the disk.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/mock-midterm-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
        std::perror("scratch folder");
        std::abort();
    }
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
    // The folder goes when the fuzzer ends.
    static const std::string folder = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
}

void clearScratchFolder() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(".", ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

void writeBytes(const char* name, const void* bytes, std::size_t size) {
    std::FILE* file = std::fopen(name, "wb");
    require(file != nullptr, "cannot write a file in the scratch folder");
    if (size > 0) {
        require(std::fwrite(bytes, 1, size, file) == size, "short write in the scratch folder");
    }
    std::fclose(file);
}

long readBytes(const char* name, void* bytes, std::size_t capacity) {
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) {
        return -1;
    }
    const std::size_t count = std::fread(bytes, 1, capacity, file);
    std::fclose(file);
    return static_cast<long>(count);
}

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}
