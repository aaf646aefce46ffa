#include "Sandbox.h"

#include <seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>

#include <cerrno>
#include <initializer_list>

namespace cropling::sandbox {

namespace {

bool setLimit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    return ::setrlimit(resource, &limit) == 0;
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

bool shutOff() {
    // Everything a decoder legitimately does (compute, allocate, start threads, read and write the
    // descriptors it holds) stays allowed; what touches the file system or the network fails
    // with an error the libraries report as such, and starting a program ends the helper.
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (!filter)
        return false;
    bool ok = true;
    for (const int call :
         {SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(openat2), SCMP_SYS(creat), SCMP_SYS(open_by_handle_at),
          SCMP_SYS(truncate), SCMP_SYS(unlink), SCMP_SYS(unlinkat), SCMP_SYS(rename), SCMP_SYS(renameat),
          SCMP_SYS(renameat2), SCMP_SYS(mkdir), SCMP_SYS(mkdirat), SCMP_SYS(rmdir), SCMP_SYS(link), SCMP_SYS(linkat),
          SCMP_SYS(symlink), SCMP_SYS(symlinkat), SCMP_SYS(mknod), SCMP_SYS(mknodat), SCMP_SYS(chmod),
          SCMP_SYS(fchmodat), SCMP_SYS(chown), SCMP_SYS(lchown), SCMP_SYS(fchownat), SCMP_SYS(socket),
          SCMP_SYS(socketpair), SCMP_SYS(connect), SCMP_SYS(bind), SCMP_SYS(memfd_create), SCMP_SYS(mount),
          SCMP_SYS(chdir), SCMP_SYS(chroot),
          __NR_setrlimit})
        ok = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0) == 0 && ok;
    // Reading a limit stays allowed; raising one (root could) does not.
    const scmp_arg_cmp newLimitGiven{2, SCMP_CMP_NE, 0, 0};
    ok = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(prlimit64), 1, newLimitGiven) == 0 && ok;
    for (const int call : {SCMP_SYS(execve), SCMP_SYS(execveat), SCMP_SYS(fork), SCMP_SYS(vfork), SCMP_SYS(ptrace),
                           SCMP_SYS(process_vm_writev), SCMP_SYS(kill), SCMP_SYS(tkill)})
        ok = seccomp_rule_add(filter, SCMP_ACT_KILL_PROCESS, call, 0) == 0 && ok;
    ok = ok && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return ok;
}

} // namespace cropling::sandbox
