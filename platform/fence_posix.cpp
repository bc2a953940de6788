// The fence on POSIX. On Linux: Landlock for files (kernel headers only),
// a seccomp filter for system calls (libseccomp builds it in the caller;
// the child only loads it), resource limits, a session of its own, a clean
// environment. Elsewhere the limits and the session alone, and fenceGaps()
// says what is missing.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif
#ifdef MOCK_MIDTERM_SECCOMP
#include <seccomp.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fence.h"
#include "platform/platform.h"
#include "platform/posix.h"

namespace {
// What the child may read and run beside its own folder: the system's
// libraries (the loader among them), headers and the loader's cache.
const char* const systemPaths[] = {
    "/usr/include", "/usr/local/include", "/usr/lib",   "/usr/local/lib", "/usr/lib64",
    "/usr/lib32",   "/lib",               "/lib64",     "/lib32",         "/libx32",
    "/etc/ld.so.cache", "/etc/ld.so.conf", "/etc/ld.so.conf.d",
};

#ifdef __linux__
// Newer than some kernel headers: the values are the kernel's for good.
constexpr std::uint64_t accessTruncate = 1ULL << 14;
constexpr std::uint64_t accessIoctlDevice = 1ULL << 15;
constexpr std::uint64_t netBindTcp = 1ULL << 0;
constexpr std::uint64_t netConnectTcp = 1ULL << 1;
constexpr std::uint64_t scopeAbstractUnixSocket = 1ULL << 0;
constexpr std::uint64_t scopeSignal = 1ULL << 1;

// landlock_ruleset_attr as the newest kernels read it; older ones read a prefix.
struct RulesetAttributes {
    std::uint64_t handledFiles;
    std::uint64_t handledNetwork;
    std::uint64_t scoped;
};

int landlockAbi() {
    static const int abi = [] {
        const long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
        return version > 0 ? static_cast<int>(version) : 0;
    }();
    return abi;
}

std::uint64_t handledFileRights(int abi) {
    std::uint64_t rights = (1ULL << 13) - 1;  // the first ABI's thirteen
    if (abi >= 2) {
        rights |= LANDLOCK_ACCESS_FS_REFER;
    }
    if (abi >= 3) {
        rights |= accessTruncate;
    }
    if (abi >= 5) {
        rights |= accessIoctlDevice;
    }
    return rights;
}

constexpr std::uint64_t readFileRights = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_READ_FILE;
constexpr std::uint64_t readFolderRights = readFileRights | LANDLOCK_ACCESS_FS_READ_DIR;
// In its own folder it reads, writes, makes and removes files and folders,
// but runs nothing and makes no device, pipe or socket.
constexpr std::uint64_t ownFolderRights =
    LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR | LANDLOCK_ACCESS_FS_WRITE_FILE |
    LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_DIR |
    LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SYM | accessTruncate;

// In the child, so only system calls: one rule for what is beneath `path`.
void allowBeneath(int ruleset, const char* path, std::uint64_t folderRights, std::uint64_t fileRights,
                  std::uint64_t handled) {
    const int descriptor = open(path, O_PATH | O_CLOEXEC);
    if (descriptor < 0) {
        return;
    }
    struct stat info {};
    const bool folder = fstat(descriptor, &info) == 0 && S_ISDIR(info.st_mode);
    landlock_path_beneath_attr rule{};
    rule.allowed_access = (folder ? folderRights : fileRights) & handled;
    rule.parent_fd = descriptor;
    syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
    close(descriptor);
}

void enterFileLimits(const ChildFence& fence) {
    const int abi = landlockAbi();
    if (abi == 0) {
        return;
    }
    RulesetAttributes attributes{handledFileRights(abi), abi >= 4 ? netBindTcp | netConnectTcp : 0,
                                 abi >= 6 ? scopeAbstractUnixSocket | scopeSignal : 0};
    const std::size_t size = abi >= 6 ? sizeof attributes : abi >= 4 ? 2 * sizeof(std::uint64_t)
                                                                     : sizeof(std::uint64_t);
    const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (ruleset < 0) {
        return;
    }
    const std::uint64_t handled = attributes.handledFiles;
    for (const char* path : systemPaths) {
        allowBeneath(ruleset, path, readFolderRights, readFileRights, handled);
    }
    allowBeneath(ruleset, "/dev/null", 0, LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE, handled);
    allowBeneath(ruleset, fence.folder, ownFolderRights, 0, handled);
    allowBeneath(ruleset, fence.program, 0, readFileRights, handled);
    syscall(SYS_landlock_restrict_self, ruleset, 0);
    close(ruleset);
}
#endif

#ifdef MOCK_MIDTERM_SECCOMP
int deny(scmp_filter_ctx filter, int number, int error = EPERM) {
    return number < 0 ? 0 : seccomp_rule_add(filter, SCMP_ACT_ERRNO(error), number, 0);
}

// The system calls a fenced program may not make. Everything else it may:
// tcc and the test program need files, memory and time, and the files are
// Landlock's. execve is let through once, for the call that starts it
// (its path's address in the caller's memory, which the child shares
// until then); a pid other than its own is refused to every signal call.
int addDenials(scmp_filter_ctx filter, pid_t child, const char* program) {
    int failed = 0;
    for (const int number :
         {SCMP_SYS(fork), SCMP_SYS(vfork), SCMP_SYS(clone), SCMP_SYS(execveat), SCMP_SYS(ptrace),
          SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev), SCMP_SYS(kcmp), SCMP_SYS(socket),
          SCMP_SYS(socketpair), SCMP_SYS(io_uring_setup), SCMP_SYS(io_uring_enter),
          SCMP_SYS(io_uring_register), SCMP_SYS(bpf), SCMP_SYS(perf_event_open), SCMP_SYS(userfaultfd),
          SCMP_SYS(unshare), SCMP_SYS(setns), SCMP_SYS(mount), SCMP_SYS(umount2), SCMP_SYS(pivot_root),
          SCMP_SYS(chroot), SCMP_SYS(keyctl), SCMP_SYS(add_key), SCMP_SYS(request_key),
          SCMP_SYS(pidfd_open), SCMP_SYS(pidfd_send_signal), SCMP_SYS(pidfd_getfd),
          SCMP_SYS(name_to_handle_at), SCMP_SYS(open_by_handle_at), SCMP_SYS(setsid),
          SCMP_SYS(setpgid), SCMP_SYS(mknod), SCMP_SYS(mknodat)}) {
        failed |= deny(filter, number);
    }
    failed |= deny(filter, SCMP_SYS(clone3), ENOSYS);  // the C library then tries clone
    const auto notOwn = SCMP_A0(SCMP_CMP_NE, static_cast<scmp_datum_t>(child));
    for (const int number : {SCMP_SYS(kill), SCMP_SYS(tkill), SCMP_SYS(tgkill), SCMP_SYS(rt_sigqueueinfo),
                             SCMP_SYS(rt_tgsigqueueinfo)}) {
        failed |= seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), number, 1, notOwn);
    }
    failed |= seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(execve), 1,
                               SCMP_A0(SCMP_CMP_NE, reinterpret_cast<scmp_datum_t>(program)));
    // The kernel reads an ioctl's request as 32 bits.
    for (const unsigned long request : {TIOCSTI, TIOCLINUX}) {
        failed |= seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(ioctl), 1,
                                   SCMP_A1(SCMP_CMP_MASKED_EQ, 0xffffffffULL, request));
    }
    return failed;
}
#endif

// Where the caller leaves the child's filter: a shared page set up before
// the fork, filled once the child's pid is known.
struct SharedFilter {
    volatile std::uint32_t instructions;  // 0: none, go on without
    sock_filter program[4000];
};
}  // namespace

int makePrivateFolder(const char* prefix, char* name, std::size_t size) {
    const char* base = std::getenv("TMPDIR");
    if (base == nullptr || base[0] != '/') {
        base = "/tmp";
    }
    const int length = std::snprintf(name, size, "%s/%sXXXXXX", base, prefix);
    if (length < 0 || static_cast<std::size_t>(length) >= size) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return mkdtemp(name) != nullptr ? 0 : -1;  // exclusively, mode 0700
}

unsigned fenceGaps() {
    unsigned gaps = 0;
#ifdef __linux__
    const int abi = landlockAbi();
    if (abi == 0) {
        gaps |= fenceLacksFileLimits;
    }
    if (abi < 6) {
        gaps |= fenceLacksSignalScope;
    }
#ifdef MOCK_MIDTERM_SECCOMP
    unsigned action = SECCOMP_RET_ERRNO;
    if (syscall(SYS_seccomp, SECCOMP_GET_ACTION_AVAIL, 0, &action) != 0) {
        gaps |= fenceLacksCallFilter;
    }
#else
    gaps |= fenceLacksCallFilter;
#endif
#else
    gaps = fenceLacksFileLimits | fenceLacksCallFilter | fenceLacksSignalScope;
#endif
    return gaps;
}

std::string fenceGapsText(unsigned gaps) {
    std::string text;
    auto add = [&text](const char* part) { text += (text.empty() ? "" : "; ") + std::string(part); };
    if ((gaps & fenceLacksFileLimits) != 0) {
        add("no Landlock (the student's code could read and write your files)");
    }
    if ((gaps & fenceLacksCallFilter) != 0) {
        add("no seccomp filter (it could start programs, open sockets and signal your programs)");
    }
    return text;
}

// In the child between fork and exec, so system calls only.
void enterFence(const ChildFence& fence) {
    setsid();  // no controlling terminal: /dev/tty and the terminal's signals are out of reach
    const int null = fence.quietOutput || fence.quietErrors ? open("/dev/null", O_WRONLY) : -1;
    if (null >= 0) {
        if (fence.quietOutput) {
            dup2(null, STDOUT_FILENO);
        }
        if (fence.quietErrors) {
            dup2(null, STDERR_FILENO);
        }
        close(null);
    }
    if (chdir(fence.folder) != 0) {
        _exit(childCannotStart);
    }
    const rlimit memory{fenceMemoryBytes, fenceMemoryBytes};
    const rlimit fileSize{fenceFileBytes, fenceFileBytes};
    const rlimit openFiles{fenceOpenFiles, fenceOpenFiles};
    const rlimit none{0, 0};
    setrlimit(RLIMIT_AS, &memory);
    setrlimit(RLIMIT_FSIZE, &fileSize);
    setrlimit(RLIMIT_NOFILE, &openFiles);
    setrlimit(RLIMIT_CORE, &none);
    setrlimit(RLIMIT_NPROC, &none);  // for a user other than root, where seccomp is missing
    // A write past the size limit then fails instead of killing the program:
    // output that never ends runs into the time limit, as on a terminal,
    // even where it goes to a file (`grade > out.txt`).
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, nullptr);
#ifdef __linux__
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    enterFileLimits(fence);
    char go = 0;
    while (read(fence.goInput, &go, 1) == -1 && errno == EINTR) {
    }
    const auto* shared = static_cast<const SharedFilter*>(fence.filterPage);
    if (shared != nullptr && shared->instructions > 0) {
        sock_fprog program{static_cast<unsigned short>(shared->instructions),
                           const_cast<sock_filter*>(shared->program)};
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0);
    }
#endif
}

void* makeFilterPage() {
    void* page = mmap(nullptr, sizeof(SharedFilter), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return page == MAP_FAILED ? nullptr : page;
}

void dropFilterPage(void* page) {
    if (page != nullptr) {
        munmap(page, sizeof(SharedFilter));
    }
}

void fillFilterPage(void* page, pid_t child, const char* program) {
    auto* shared = static_cast<SharedFilter*>(page);
    if (shared == nullptr) {
        return;
    }
    shared->instructions = 0;
#ifdef MOCK_MIDTERM_SECCOMP
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (filter == nullptr) {
        return;
    }
    const int memory = memfd_create("fence-filter", MFD_CLOEXEC);
    if (memory >= 0 && addDenials(filter, child, program) == 0 && seccomp_export_bpf(filter, memory) == 0) {
        const off_t size = lseek(memory, 0, SEEK_CUR);
        if (size > 0 && static_cast<std::size_t>(size) <= sizeof shared->program &&
            pread(memory, shared->program, static_cast<std::size_t>(size), 0) == size) {
            shared->instructions = static_cast<std::uint32_t>(static_cast<std::size_t>(size) / sizeof(sock_filter));
        }
    }
    if (memory >= 0) {
        close(memory);
    }
    seccomp_release(filter);
#else
    (void)child;
    (void)program;
#endif
}

RunResult runFenced(const char* commandLine, const char* folder, int seconds) {
    CommandWords words = splitCommandLine(commandLine);
    ChildFence fence{};
    for (; !words.empty() && (words.back() == ">NUL" || words.back() == "2>NUL"); words.pop_back()) {
        (words.back() == ">NUL" ? fence.quietOutput : fence.quietErrors) = true;
    }
    if (words.empty()) {
        return exitedWith(0);
    }
    // ".\harness.exe" is the file in its folder; any other name is a system program.
    const bool own = words[0].rfind("./", 0) == 0;
    const std::string program = own ? std::string(folder) + words[0].substr(1) : findProgram(words[0]);
    if (program.empty() || (own && access(program.c_str(), F_OK) != 0)) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: command not found\n", words[0].c_str());
        return notStarted(RunStart::notFound);
    }
    const char* language = std::getenv("LANG");
    std::vector<std::string> variables{"PATH=/usr/local/bin:/usr/bin:/bin",
                                       std::string("LANG=") + (language != nullptr ? language : "C.UTF-8"),
                                       std::string("TMPDIR=") + folder};
    std::vector<char*> environment;
    environment.reserve(variables.size() + 1);
    for (std::string& variable : variables) {
        environment.push_back(variable.data());
    }
    environment.push_back(nullptr);
    fence.folder = folder;
    fence.program = program.c_str();
    fence.environment = environment.data();
    return runProgram(program, programArguments(words, program), seconds, &fence);
}
