#include "Sandbox.h"

#include "RefusedMemory.h"
#include "SyscallFilter.h"

#include "core/MemoryBudget.h"
#include "wire/DecoderWire.h"

#include <fcntl.h>
#include <pthread.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace cropling::sandbox {

namespace {

bool setLimit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    return ::setrlimit(resource, &limit) == 0;
}

bool writeTo(const char* path, const char* text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const auto length = ssize_t(std::strlen(text));
    const bool ok = ::write(fd, text, size_t(length)) == length;
    ::close(fd);
    return ok;
}

// Inside, the helper is root of its own user namespace, which is what lets it build its empty
// root; outside it is the user who started the program, and nothing more.
bool mapIdentity(uid_t uid, gid_t gid) {
    char line[48];
    std::snprintf(line, sizeof line, "0 %u 1", unsigned(uid));
    bool ok = writeTo("/proc/self/uid_map", line);
    ok = writeTo("/proc/self/setgroups", "deny") && ok;
    std::snprintf(line, sizeof line, "0 %u 1", unsigned(gid));
    return writeTo("/proc/self/gid_map", line) && ok;
}

// Signals whose default is to end a process. The helper is the first process of its PID
// namespace, and such a process ignores those it sends itself (a library's abort() or raise()) and
// the kernel's SIGXCPU; a handler turns each into an exit the waiting process passes on as that
// signal. SIGSYS is left to the system call filter, SIGPIPE stays ignored.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT, SIGBUS, SIGFPE, SIGUSR1,
                                  SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
                                  SIGIO,   SIGPWR};
constexpr int kExitBySignal = 128;

bool isEndingSignal(int signal) {
    for (const int ending : kEndingSignals)
        if (ending == signal)
            return true;
    return false;
}

void endAsSignalled(int signal) {
    // A library that gives up (aborts, traps, touches what it never got) after an allocation was
    // refused ran out of memory: the helper ends as one that did.
    if (refusedMemory() && (signal == SIGABRT || signal == SIGTRAP || signal == SIGSEGV || signal == SIGBUS))
        ::_exit(wire::kExitOutOfMemory);
    ::_exit(kExitBySignal + signal);
}

void endOnEveryEndingSignal() {
    struct sigaction action {};
    action.sa_handler = endAsSignalled;
    sigemptyset(&action.sa_mask);
    for (const int signal : kEndingSignals)
        ::sigaction(signal, &action, nullptr);
}

// The waiting process: it holds nothing, may do nothing but wait, and ends as the helper ended,
// so that the program reads the same reasons either way. Only once it holds nothing but the two
// pipes to the helper and is filtered, and the helper has said on `armed` that it dies with it,
// does it write the byte on `go` that lets the helper read its picture: no picture is read while
// the waiting process is not confined, nor by a helper that could outlive it.
[[noreturn]] void waitFor(pid_t helper, int armed, int go) {
    const int low = std::min(armed, go), high = std::max(armed, go);
    if (low > 0)
        ::close_range(0, unsigned(low) - 1, 0);
    ::close_range(unsigned(low) + 1, unsigned(high) - 1, 0);
    ::close_range(unsigned(high) + 1, ~0U, 0);
    char sign = 0;
    const bool ready = allowWaitingOnly(armed, go) && ::read(armed, &sign, 1) == 1;
    ::close(armed);
    sign = 1;
    if (!ready || ::write(go, &sign, 1) != 1) {
        ::kill(helper, SIGKILL);
        ::_exit(2);
    }
    ::close(go);
    int status = 0;
    while (::waitpid(helper, &status, 0) < 0 && errno == EINTR) {
    }
    int signal = WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL;
    if (WIFEXITED(status)) {
        const int code = WEXITSTATUS(status);
        // SIGSYS too: the helper's answer to a SIGSYS the filter did not raise.
        if (code <= kExitBySignal || !(isEndingSignal(code - kExitBySignal) || code - kExitBySignal == SIGSYS))
            ::_exit(code);
        signal = code - kExitBySignal;
    }
    ::kill(::getpid(), signal);
    ::_exit(kExitBySignal + signal);
}

} // namespace

long long admittedMemory() {
    // Started by hand (or by a test), a helper has the whole share.
    const char* given = std::getenv(helperMemory::kVariable);
    char* end = nullptr;
    const long long bytes = given ? std::strtoll(given, &end, 10) : 0;
    if (given && end != given && *end == '\0' && bytes > 0)
        return bytes;
    return helperMemory::kWholeShareBytes;
}

bool limitResources() {
    bool ok = ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0;
    ok = setLimit(RLIMIT_CORE, 0, 0) && ok;
    ok = setLimit(RLIMIT_FSIZE, 0, 0) && ok;
    ok = setLimit(RLIMIT_AS, rlim_t(kAddressSpaceBytes), rlim_t(kAddressSpaceBytes)) && ok;
    const rlim_t data = rlim_t(admittedMemory());
    ok = setLimit(RLIMIT_DATA, data, data) && ok;
    // Threads started from now on (the libraries' own included) reserve smaller stacks, which
    // count against that limit.
    pthread_attr_t threads;
    ok = ::pthread_attr_init(&threads) == 0 && ok;
    ok = ::pthread_attr_setstacksize(&threads, size_t(helperMemory::kThreadStackBytes)) == 0 && ok;
    ok = ::pthread_setattr_default_np(&threads) == 0 && ok;
    ::pthread_attr_destroy(&threads);
    ok = setLimit(RLIMIT_CPU, rlim_t(kCpuSeconds), rlim_t(kCpuSeconds + 5)) && ok;
    return ok;
}

bool enterNamespaces() {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET | CLONE_NEWIPC | CLONE_NEWPID) != 0)
        return false;
    if (!mapIdentity(uid, gid))
        return false;
    int armed[2], go[2];
    if (::pipe2(armed, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(go, O_CLOEXEC) != 0)
        return false;
    const pid_t helper = ::fork();
    if (helper < 0)
        return false;
    if (helper > 0) {
        ::close(armed[1]);
        ::close(go[0]);
        waitFor(helper, armed[0], go[1]);
    }
    // The death signal does not pass through fork: the helper dies with the waiting process,
    // which dies with the program. Asked for before the waiting process may let it go on, so that
    // it holds from the first byte of the picture.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    endOnEveryEndingSignal();
    ::close(armed[0]);
    ::close(go[1]);
    char sign = 1;
    const bool told = ::write(armed[1], &sign, 1) == 1;
    ::close(armed[1]);
    // No byte: the waiting process died, or could not shut itself in. After the byte, the end of
    // the pipe: the waiting process holds nothing any more.
    ssize_t got = -1;
    while ((got = ::read(go[0], &sign, 1)) < 0 && errno == EINTR) {
    }
    ssize_t more = 0;
    while ((more = ::read(go[0], &sign, 1)) > 0 || (more < 0 && errno == EINTR)) {
    }
    ::close(go[0]);
    if (!told || got != 1)
        ::_exit(2);
    return true;
}

bool leaveFileSystem() {
    // Nothing done here reaches the mounts outside.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    const char* base = nullptr;
    for (const char* candidate : {"/tmp", "/dev", "/proc"}) {
        if (::mount("cropling", candidate, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "size=4k,nr_inodes=2,mode=0555") == 0) {
            base = candidate;
            break;
        }
    }
    // The empty file system becomes the root and the old one is let go of entirely, so that no
    // path leads back to it.
    if (!base || ::chdir(base) != 0 || ::syscall(SYS_pivot_root, ".", ".") != 0 || ::umount2(".", MNT_DETACH) != 0 ||
        ::chdir("/") != 0)
        return false;
    if (::mount(nullptr, "/", nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
        return false;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    return ::syscall(SYS_capset, &header, none) == 0;
}

} // namespace cropling::sandbox
