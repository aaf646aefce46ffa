// A decoding helper for the tests alone: it shuts itself in exactly as the shipped ones do, then
// tries the one thing named in CROPLING_ESCAPE that a decoder taken over by a hostile file might
// try. It exits 1 when the attempt worked and 0 when the system refused it with an error; the
// filter may instead end it with SIGSYS. Two attempts must work (a thread, memory) so that a kit
// that fails everything cannot pass for a confined one.

#include "helpers/common/HelperMain.h"

#include <QByteArray>

#include <fcntl.h>
#include <linux/io_uring.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>

using namespace cropling;

namespace {

bool attempt(const std::string& action, pid_t parent) {
    const std::map<std::string, std::function<bool()>> attempts = {
        {"thread",
         [] {
             bool ran = false;
             std::thread([&ran] { ran = true; }).join();
             return ran;
         }},
        {"memory",
         [] {
             void* block = ::mmap(nullptr, 64 << 20, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
             return block != MAP_FAILED && std::memset(block, 1, 64 << 20) == block;
         }},
        // More than the helper's memory, asked of a Qt container (which throws bad_alloc itself).
        {"container-out-of-memory",
         [] {
             QByteArray block;
             block.resize(qsizetype(4) << 30);
             return block.size() > 0;
         }},
        {"file-status",
         [] {
             struct stat status {};
             return ::fstat(0, &status) == 0 && S_ISFIFO(status.st_mode);
         }},
        // No path at all with AT_EMPTY_PATH is the descriptor's own status, as newer kernels take
        // it and newer C libraries call it.
        {"null-path-status",
         [] {
             struct stat status {};
             return ::syscall(SYS_newfstatat, 0, nullptr, &status, AT_EMPTY_PATH) == 0 && S_ISFIFO(status.st_mode);
         }},
        {"path-status",
         [] {
             struct stat status {};
             return ::stat("/etc/passwd", &status) == 0 || ::fstatat(AT_FDCWD, "/etc/passwd", &status, AT_EMPTY_PATH) == 0 ||
                    ::syscall(SYS_newfstatat, AT_FDCWD, "/etc/passwd", &status, AT_EMPTY_PATH) == 0;
         }},
        // Another architecture's calls, from a second thread: the filter must end the whole
        // process, or the first thread would go on.
        {"x32-call",
         [] {
             std::thread([] { ::syscall(0x40000000L | SYS_getpid); }).join();
             return true;
         }},
#ifdef __x86_64__
        {"foreign-architecture",
         [] {
             std::thread([] {
                 long result = 20; // getpid as a 32-bit x86 call
                 asm volatile("int $0x80" : "+a"(result) : : "memory");
             }).join();
             return true;
         }},
#endif
        {"abort",
         [] {
             ::raise(SIGABRT);
             return true;
         }},
        // A SIGSYS that no filter raised, as another process of the user's could send it.
        {"sigsys-sent",
         [] {
             ::kill(::getpid(), SIGSYS);
             return true;
         }},
        {"spin",
         [] {
             for (;;)
                 asm volatile("" ::: "memory");
             return true;
         }},
        {"open-file", [] { return ::open("/etc/passwd", O_RDONLY) >= 0 || ::open("/", O_RDONLY | O_DIRECTORY) >= 0; }},
        {"create-file", [] { return ::creat("/escaped", 0600) >= 0 || ::mkdir("/escaped", 0700) == 0; }},
        {"socket", [] { return ::socket(AF_UNIX, SOCK_STREAM, 0) >= 0 || ::socket(AF_INET, SOCK_DGRAM, 0) >= 0; }},
        {"socketpair",
         [] {
             int pair[2];
             return ::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0;
         }},
        {"io-uring",
         [] {
             io_uring_params params{};
             return ::syscall(SYS_io_uring_setup, 4, &params) >= 0;
         }},
        {"kill-parent", [parent] { return ::kill(parent, 0) == 0; }},
        {"tgkill-parent", [parent] { return ::syscall(SYS_tgkill, parent, parent, 0) == 0; }},
        {"pidfd-parent", [parent] { return ::syscall(SYS_pidfd_open, parent, 0) >= 0; }},
        {"ptrace-parent", [parent] { return ::ptrace(PTRACE_SEIZE, parent, nullptr, nullptr) == 0; }},
        {"read-parent-memory",
         [parent] {
             char byte = 0;
             iovec local{&byte, 1};
             iovec remote{reinterpret_cast<void*>(0x400000), 1};
             return ::process_vm_readv(parent, &local, 1, &remote, 1, 0) >= 0 || errno == EFAULT;
         }},
        {"signal-on-input", [parent] { return ::fcntl(0, F_SETOWN, parent) == 0; }},
        {"exec",
         [] {
             char* argv[] = {const_cast<char*>("false"), nullptr};
             ::execve("/bin/false", argv, environ);
             return false;
         }},
        {"fork",
         [] {
             const pid_t child = ::fork();
             if (child == 0)
                 ::_exit(1);
             return child > 0;
         }},
        {"clone3",
         [] {
             struct {
                 std::uint64_t flags, pidfd, childTid, parentTid, exitSignal, stack, stackSize, tls;
             } args{0, 0, 0, 0, SIGCHLD, 0, 0, 0};
             const long child = ::syscall(SYS_clone3, &args, sizeof args);
             if (child == 0)
                 ::_exit(1);
             return child > 0;
         }},
        {"foreign-descriptor", [] { return ::write(9, "x", 1) == 1; }},
        {"raise-limit",
         [] {
             const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
             return ::prlimit(0, RLIMIT_AS, &unlimited, nullptr) == 0;
         }},
        {"lower-limit",
         [] {
             const rlimit lower{20, 20};
             return ::prlimit(0, RLIMIT_CPU, &lower, nullptr) == 0;
         }},
        {"setrlimit",
         [] {
             const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
             return ::setrlimit(RLIMIT_CPU, &unlimited) == 0;
         }},
        {"executable-memory",
         [] {
             return ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
                    MAP_FAILED;
         }},
        {"make-executable",
         [] {
             void* page = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
             return page != MAP_FAILED && ::mprotect(page, 4096, PROT_READ | PROT_EXEC) == 0;
         }},
        {"unshare", [] { return ::unshare(CLONE_NEWUSER) == 0 || ::unshare(CLONE_NEWNET) == 0; }},
        {"mount", [] { return ::mount("none", "/", "tmpfs", 0, nullptr) == 0; }},
        {"bpf", [] { return ::syscall(SYS_bpf, 0, nullptr, 0) >= 0; }},
        {"userfaultfd", [] { return ::syscall(SYS_userfaultfd, 0) >= 0; }},
    };
    const auto found = attempts.find(action);
    if (found == attempts.end())
        ::_exit(3);
    return found->second();
}

// A decoder that reports a file as damaged when in truth an allocation was refused, as decoders
// do: the helper must answer that it ran out of memory.
class WantingMemory : public TaskServer {
public:
    wire::ReplyHead serve(const wire::Request&, std::string_view*) override {
        void* block = std::malloc(size_t(8) << 30);
        std::free(block);
        wire::ReplyHead head;
        head.status = block ? wire::Status::Ok : wire::Status::Damaged;
        return head;
    }
};

} // namespace

int main() {
    const char* action = std::getenv("CROPLING_ESCAPE");
    const char* parent = std::getenv("CROPLING_ESCAPE_PARENT");
    if (!action || !parent)
        return 3;
    const pid_t parentPid = pid_t(std::atoi(parent));
    return runHelper([](const QByteArray&) {}, [&](QByteArray) -> std::unique_ptr<TaskServer> {
        if (std::string(action) == "damaged-for-want-of-memory")
            return std::make_unique<WantingMemory>();
        ::_exit(attempt(action, parentPid) ? 1 : 0);
    });
}
