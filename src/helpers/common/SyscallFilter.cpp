#include "SyscallFilter.h"

#include <fcntl.h>
#include <seccomp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <initializer_list>

namespace cropling::sandbox {

namespace {

// One filter under construction; false once any rule could not be added.
class Filter {
public:
    Filter() : context_(seccomp_init(SCMP_ACT_ERRNO(EPERM))) {
        // Threads started before the filter (libvips' workers) get it too.
        ok_ = context_ && seccomp_attr_set(context_, SCMP_FLTATR_CTL_TSYNC, 1) == 0;
        // A call made as another architecture (int 0x80, x32 numbers) is read against none of the
        // rules: only an attack makes one, and it ends the whole process, not just the thread that
        // made it, which would leave the others decoding on.
        ok_ = ok_ && seccomp_attr_set(context_, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS) == 0;
    }
    ~Filter() { seccomp_release(context_); }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    void allow(std::initializer_list<int> calls) {
        for (const int call : calls)
            add(SCMP_ACT_ALLOW, call, {});
    }
    void add(std::uint32_t action, int call, std::initializer_list<scmp_arg_cmp> conditions) {
        ok_ = ok_ && seccomp_rule_add_array(context_, action, call, unsigned(conditions.size()), conditions.begin()) == 0;
    }
    bool load() { return ok_ && seccomp_load(context_) == 0; }

private:
    scmp_filter_ctx context_;
    bool ok_ = false;
};

// Calls that no decoder makes and that an attack would: the helper ends on the first of them.
void endOnAttack(Filter& filter) {
    for (const int call :
         {SCMP_SYS(execve), SCMP_SYS(execveat), SCMP_SYS(fork), SCMP_SYS(vfork), SCMP_SYS(ptrace),
          SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev), SCMP_SYS(tkill), SCMP_SYS(pidfd_open),
          SCMP_SYS(pidfd_send_signal), SCMP_SYS(pidfd_getfd), SCMP_SYS(io_uring_setup), SCMP_SYS(io_uring_enter),
          SCMP_SYS(io_uring_register), SCMP_SYS(bpf), SCMP_SYS(userfaultfd), SCMP_SYS(perf_event_open),
          SCMP_SYS(unshare), SCMP_SYS(setns), SCMP_SYS(mount), SCMP_SYS(umount2), SCMP_SYS(pivot_root),
          SCMP_SYS(chroot), SCMP_SYS(open_tree), SCMP_SYS(move_mount), SCMP_SYS(fsopen), SCMP_SYS(fsconfig),
          SCMP_SYS(fsmount), SCMP_SYS(fspick), SCMP_SYS(mount_setattr), SCMP_SYS(keyctl), SCMP_SYS(add_key),
          SCMP_SYS(request_key), SCMP_SYS(init_module), SCMP_SYS(finit_module), SCMP_SYS(kexec_load),
          SCMP_SYS(setrlimit)})
        filter.add(SCMP_ACT_KILL_PROCESS, call, {});
}

#if defined(__x86_64__)
constexpr int kResult = REG_RAX, kFirst = REG_RDI, kSecond = REG_RSI, kThird = REG_RDX, kFourth = REG_R10;
#define CROPLING_ARGUMENT(context, n) (context)->uc_mcontext.gregs[n]
#elif defined(__aarch64__)
constexpr int kResult = 0, kFirst = 0, kSecond = 1, kThird = 2, kFourth = 3;
#define CROPLING_ARGUMENT(context, n) (context)->uc_mcontext.regs[n]
#endif

#ifdef CROPLING_ARGUMENT
// The si_code of a SIGSYS the filter raised (SYS_SECCOMP in the kernel's headers, which clash
// with the C library's).
constexpr int kTrappedByFilter = 1;

// glibc's fstat() is newfstatat(fd, "", buf, AT_EMPTY_PATH), and a filter cannot read the path it
// passes. So the call traps here, in the helper itself, and is answered by fstat() on the
// descriptor when the path is empty; any other path is never looked up, as in the empty root the
// helper has with namespaces. The kernel never runs newfstatat: a handler put in its place by an
// attacker could answer nothing more than this one.
void answerFileStatus(int signal, siginfo_t* info, void* raw) {
    // Only the filter's trap is answered; a SIGSYS sent by someone ends the helper as it would
    // have without a handler, and touches none of the registers it interrupted.
    if (info->si_code != kTrappedByFilter) {
        sigset_t handled;
        sigemptyset(&handled);
        sigaddset(&handled, signal);
        ::signal(signal, SIG_DFL);
        ::sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        ::raise(signal);
        ::_exit(128 + signal); // the first process of a PID namespace ignores its own signals
    }
    auto* context = static_cast<ucontext_t*>(raw);
    const int savedErrno = errno;
    long result = -ENOSYS;
    if (info->si_syscall == SYS_newfstatat) {
        const auto* path = reinterpret_cast<const char*>(CROPLING_ARGUMENT(context, kSecond));
        const long flags = long(CROPLING_ARGUMENT(context, kFourth));
        result = -ENOENT;
        // No path at all counts as the empty one, as kernels since 6.11 take it.
        if ((flags & AT_EMPTY_PATH) && (!path || path[0] == '\0')) {
            const long answer = ::syscall(SYS_fstat, int(CROPLING_ARGUMENT(context, kFirst)),
                                          reinterpret_cast<void*>(CROPLING_ARGUMENT(context, kThird)));
            result = answer < 0 ? -errno : answer;
        }
    }
    CROPLING_ARGUMENT(context, kResult) = result;
    errno = savedErrno;
}

bool answerFileStatusOnlyOfDescriptors(Filter& filter) {
    struct sigaction action {};
    action.sa_sigaction = answerFileStatus;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGSYS, &action, nullptr) != 0)
        return false;
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(fstat), {});
    filter.add(SCMP_ACT_TRAP, SCMP_SYS(newfstatat), {});
    return true;
}
#undef CROPLING_ARGUMENT
#else
bool answerFileStatusOnlyOfDescriptors(Filter& filter) {
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(fstat), {});
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), {SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)});
    return true;
}
#endif

} // namespace

bool allowDecodingOnly() {
    const auto self = scmp_datum_t(::getpid());
    Filter filter;
    filter.allow({SCMP_SYS(read), SCMP_SYS(write), SCMP_SYS(readv), SCMP_SYS(writev), SCMP_SYS(pread64),
                  SCMP_SYS(lseek), SCMP_SYS(close), SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap),
                  SCMP_SYS(madvise), SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(rseq), SCMP_SYS(exit),
                  SCMP_SYS(exit_group), SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigaction),
                  SCMP_SYS(sigaltstack), SCMP_SYS(restart_syscall), SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
                  SCMP_SYS(gettimeofday), SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep), SCMP_SYS(sched_yield),
                  SCMP_SYS(sched_getaffinity), SCMP_SYS(getrandom), SCMP_SYS(getpid), SCMP_SYS(gettid),
                  SCMP_SYS(getuid), SCMP_SYS(geteuid), SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(eventfd2),
                  SCMP_SYS(poll), SCMP_SYS(ppoll), SCMP_SYS(sysinfo), SCMP_SYS(uname), SCMP_SYS(getrusage),
                  SCMP_SYS(getrlimit)});
    // fstat() of a descriptor it holds; no path.
    if (!answerFileStatusOnlyOfDescriptors(filter))
        return false;
    // Memory, never executable: no code can be written and then run. (pkey_mprotect is not allowed.)
    for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
        filter.add(SCMP_ACT_ALLOW, call, {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)});
    // Threads, and no other process. glibc tries clone3 first, whose flags a filter cannot see,
    // and falls back to clone when told the call does not exist.
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)});
    filter.add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)});
    filter.add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), {});
    // Signals to itself only (abort() among them); to anyone else, the end.
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(kill), {SCMP_A0(SCMP_CMP_EQ, self)});
    filter.add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(kill), {SCMP_A0(SCMP_CMP_NE, self)});
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(tgkill), {SCMP_A0(SCMP_CMP_EQ, self)});
    filter.add(SCMP_ACT_KILL_PROCESS, SCMP_SYS(tgkill), {SCMP_A0(SCMP_CMP_NE, self)});
    // Its threads' names, which libraries set; no other process control.
    for (const scmp_datum_t option : {scmp_datum_t(PR_SET_NAME), scmp_datum_t(PR_GET_NAME)})
        filter.add(SCMP_ACT_ALLOW, SCMP_SYS(prctl), {SCMP_A0(SCMP_CMP_EQ, option)});
    // Descriptor flags, but not asking for signals to be sent on input (F_SETOWN, O_ASYNC).
    for (const scmp_datum_t command : {scmp_datum_t(F_GETFD), scmp_datum_t(F_SETFD), scmp_datum_t(F_GETFL)})
        filter.add(SCMP_ACT_ALLOW, SCMP_SYS(fcntl), {SCMP_A1(SCMP_CMP_EQ, command)});
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(fcntl),
               {SCMP_A1(SCMP_CMP_EQ, scmp_datum_t(F_SETFL)), SCMP_A2(SCMP_CMP_MASKED_EQ, O_ASYNC, 0)});
    // Limits may be read, never raised.
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), {SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A2(SCMP_CMP_EQ, 0)});
    // isatty() and the like: no descriptor it holds is a terminal.
    filter.add(SCMP_ACT_ERRNO(ENOTTY), SCMP_SYS(ioctl), {});
    endOnAttack(filter);
    return filter.load();
}

bool allowWaitingOnly(int armed, int go) {
    Filter filter;
    filter.allow({SCMP_SYS(wait4), SCMP_SYS(waitid), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(rt_sigreturn),
                  SCMP_SYS(rt_sigprocmask), SCMP_SYS(restart_syscall), SCMP_SYS(getpid), SCMP_SYS(close)});
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(read), {SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(armed))});
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(write), {SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(go))});
    filter.add(SCMP_ACT_ALLOW, SCMP_SYS(kill), {SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(::getpid()))});
    endOnAttack(filter);
    return filter.load();
}

} // namespace cropling::sandbox
