#include "Sandbox.h"

#include "SyscallFilter.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// The waiting process: it holds nothing, may do nothing but wait, and ends as the helper ended,
// so that the program reads the same reasons either way.
[[noreturn]] void waitFor(pid_t helper) {
    ::close_range(0, ~0U, 0);
    if (!allowWaitingOnly()) {
        ::kill(helper, SIGKILL);
        ::_exit(2);
    }
    int status = 0;
    while (::waitpid(helper, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        ::_exit(WEXITSTATUS(status));
    const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL;
    ::kill(::getpid(), signal);
    ::_exit(128 + signal);
}

} // namespace

bool limitResources() {
    bool ok = ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0;
    ok = setLimit(RLIMIT_CORE, 0, 0) && ok;
    ok = setLimit(RLIMIT_FSIZE, 0, 0) && ok;
    ok = setLimit(RLIMIT_AS, rlim_t(kAddressSpaceBytes), rlim_t(kAddressSpaceBytes)) && ok;
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
    const pid_t helper = ::fork();
    if (helper < 0)
        return false;
    if (helper > 0)
        waitFor(helper);
    // The death signal does not pass through fork: the helper dies with the waiting process,
    // which dies with the program.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
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
