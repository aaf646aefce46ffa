// The decoding helpers as an attacker who has taken one over would find them: every way out
// refused, and from outside, a process of its own namespaces holding nothing but its pipes.

#include "ClipFixtures.h"
#include "HostileFiles.h"
#include "PictureFixtures.h"

#include "image/DecoderSession.h"
#include "image/HelperConfinement.h"
#include "wire/DecoderWire.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

using namespace cropling;
using namespace cropling::test;

namespace {

// This process's environment with `extra` in front, as the strings and the array exec takes.
struct Environment {
    std::vector<std::string> entries;
    std::vector<char*> pointers;
};

Environment environmentWith(const std::vector<std::string>& extra) {
    Environment environment{extra, {}};
    for (char** e = environ; *e; ++e)
        environment.entries.emplace_back(*e);
    for (std::string& entry : environment.entries)
        environment.pointers.push_back(entry.data());
    environment.pointers.push_back(nullptr);
    return environment;
}

// A helper started as the program starts one, with a picture of `length` bytes on its request
// pipe (0 when `picture` is empty) and `foreign` open at descriptor 9 as a stray would be.
struct Spawned {
    pid_t pid = -1;
    int requests = -1;
    int replies = -1;
};

Spawned spawnHelper(const QByteArray& path, const QByteArray& picture, const std::vector<std::string>& extraEnv,
                    int foreign = -1) {
    int requests[2], replies[2];
    EXPECT_EQ(::pipe2(requests, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(replies, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, requests[0], 0);
    posix_spawn_file_actions_adddup2(&actions, replies[1], 1);
    if (foreign >= 0)
        posix_spawn_file_actions_adddup2(&actions, foreign, 9);
    Environment env = environmentWith(extraEnv);
    char* argv[] = {const_cast<char*>("helper"), nullptr};
    Spawned spawned;
    EXPECT_EQ(::posix_spawn(&spawned.pid, path.constData(), &actions, nullptr, argv, env.pointers.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(requests[0]);
    ::close(replies[1]);
    spawned.requests = requests[1];
    spawned.replies = replies[0];
    const std::uint64_t length = std::uint64_t(picture.size());
    EXPECT_EQ(::write(spawned.requests, &length, sizeof length), ssize_t(sizeof length));
    EXPECT_EQ(::write(spawned.requests, picture.constData(), size_t(picture.size())), picture.size());
    return spawned;
}

// The head of the helper's answer to one task (its payload left unread); a zero head when none came.
wire::ReplyHead askHelper(const Spawned& helper, wire::Task task, int side) {
    wire::Request request;
    request.task = task;
    request.side = side;
    wire::ReplyHead head;
    head.magic = 0;
    if (::write(helper.requests, &request, sizeof request) != ssize_t(sizeof request) ||
        ::read(helper.replies, &head, sizeof head) != ssize_t(sizeof head))
        head.magic = 0;
    return head;
}

int endOf(Spawned& spawned) {
    ::close(spawned.requests);
    ::close(spawned.replies);
    int status = 0;
    ::waitpid(spawned.pid, &status, 0);
    return status;
}

bool systemGivesNamespaces() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWNS) == 0 ? 0 : 1);
    int status = 1;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QStringList descriptorsOf(pid_t pid) {
    return QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System);
}

QByteArray namespaceOf(pid_t pid, const char* kind) {
    char target[64] = {};
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/ns/" + kind;
    const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
    return QByteArray(target, n > 0 ? int(n) : 0);
}

// Whether the process is gone (or only a zombie nobody has reaped yet).
bool ended(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = status.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

} // namespace

TEST(Confinement, AHelperTakenOverCanComputeButReachesNothingOutsideItself) {
    const QByteArray strayPath = writeTempFile("stray-descriptor", "");
    const int stray = ::open(strayPath.constData(), O_WRONLY);
    ASSERT_GE(stray, 0);
    const std::string parent = "CROPLING_ESCAPE_PARENT=" + std::to_string(::getpid());
    // With namespaces, and as on a system that refuses them: the filter alone must hold.
    for (const std::string mode : {"CROPLING_ESCAPE_MODE=namespaces", "CROPLING_NO_NAMESPACES=1"}) {
        SCOPED_TRACE(mode);
        const auto run = [&](const char* action) {
            Spawned kit = spawnHelper(ESCAPE_KIT, {}, {"CROPLING_ESCAPE=" + std::string(action), parent, mode}, stray);
            return endOf(kit);
        };
        // What a decoder does still works, or the kit would prove nothing.
        for (const char* allowed : {"thread", "memory", "file-status", "null-path-status"}) {
            const int status = run(allowed);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << allowed << " status " << status;
        }
        for (const char* forbidden :
             {"open-file", "create-file", "socket", "socketpair", "io-uring", "kill-parent", "tgkill-parent",
              "pidfd-parent", "ptrace-parent", "read-parent-memory", "signal-on-input", "exec", "fork", "clone3",
              "foreign-descriptor", "raise-limit", "setrlimit", "executable-memory", "make-executable", "unshare",
              "mount", "bpf", "userfaultfd", "path-status", "lower-limit"}) {
            const int status = run(forbidden);
            const bool refused = (WIFEXITED(status) && WEXITSTATUS(status) == 0) ||
                                 (WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS);
            EXPECT_TRUE(refused) << forbidden << " status " << status;
        }
        // Only an attack calls as another architecture: the whole process ends, not one thread.
        std::vector<const char*> foreign;
#ifdef __x86_64__
        foreign = {"x32-call", "foreign-architecture"};
#endif
        for (const char* call : foreign) {
            const int status = run(call);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS) << call << " status " << status;
        }
        // A library's abort() ends the helper as aborted, though it is the first of its namespace,
        // and a SIGSYS the filter did not raise ends it too, never answered as a trapped call.
        const int aborted = run("abort");
        EXPECT_TRUE(WIFSIGNALED(aborted) && WTERMSIG(aborted) == SIGABRT) << "status " << aborted;
        const int sent = run("sigsys-sent");
        EXPECT_TRUE(WIFSIGNALED(sent) && WTERMSIG(sent) == SIGSYS) << "status " << sent;
        // Running out of memory anywhere, a container's own throw included, ends the helper as out
        // of memory (which the program tries again with more), not as a decoder that failed.
        const int outOfMemory = run("container-out-of-memory");
        EXPECT_TRUE(WIFEXITED(outOfMemory) && WEXITSTATUS(outOfMemory) == 3) << "status " << outOfMemory;
        // ...and a task a decoder failed as damaged while an allocation was refused is answered as
        // out of memory.
        Spawned wanting = spawnHelper(ESCAPE_KIT, {}, {"CROPLING_ESCAPE=damaged-for-want-of-memory", parent, mode}, stray);
        EXPECT_EQ(askHelper(wanting, wire::Task::Decode, 100).status, wire::Status::OutOfMemory);
        endOf(wanting);
    }
    ::close(stray);
    EXPECT_TRUE(readFile(strayPath).isEmpty());
}

TEST(Confinement, EachHelperRunsFilteredInItsOwnNamespacesHoldingOnlyItsPipes) {
    const QByteArray jpeg = encode(cameraLike(64, 48), ".jpg");
    const QByteArray clip = readFile(clipFile(QStringLiteral("confined.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264")}, 1));
    ASSERT_FALSE(clip.isEmpty());
    const std::pair<QByteArray, QByteArray> helpers[] = {
        {DecoderSession::helperPath(), jpeg}, {DecoderSession::directHelperPath(), jpeg}, {DecoderSession::videoHelperPath(), clip}};
    for (const auto& [path, input] : helpers) {
        SCOPED_TRACE(path.constData());
        Spawned helper = spawnHelper(path, input, {});
        // Once it answers, it has shut itself in.
        ASSERT_EQ(askHelper(helper, wire::Task::Render, 16).magic, wire::kReplyMagic);

        // The process started waits for the one that decodes, the first of its PID namespace.
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(helper.pid));
        ASSERT_TRUE(children.open(QIODevice::ReadOnly));
        const pid_t decoding = pid_t(children.readAll().trimmed().toInt());
        ASSERT_GT(decoding, 0);
        for (const pid_t pid : {helper.pid, decoding}) {
            const auto seen = HelperConfinement::of(pid);
            ASSERT_TRUE(seen);
            EXPECT_TRUE(seen->filtered) << pid;
            if (systemGivesNamespaces()) {
                EXPECT_TRUE(seen->ownNamespaces) << pid;
            }
        }
        // The one that decodes sees no process but its own.
        if (systemGivesNamespaces()) {
            EXPECT_NE(namespaceOf(decoding, "pid"), namespaceOf(::getpid(), "pid"));
        }
        EXPECT_TRUE(descriptorsOf(helper.pid).isEmpty()) << descriptorsOf(helper.pid).join(' ').toStdString();
        EXPECT_EQ(descriptorsOf(decoding), QStringList({"0", "1", "2"}));
        char target[64] = {};
        ASSERT_GT(::readlink(QByteArray("/proc/" + QByteArray::number(decoding) + "/fd/2").constData(), target, 63), 0);
        EXPECT_STREQ(target, "/dev/null");
        const int status = endOf(helper);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

// A helper stuck in a loop ends with the program that started it, at once rather than at its CPU
// limit: the waiting process and the one that decodes both die with their parent.
TEST(Confinement, AStuckHelperDiesWithTheProgramThatStartedIt) {
    for (const std::string mode : {"CROPLING_ESCAPE_MODE=namespaces", "CROPLING_NO_NAMESPACES=1"}) {
        SCOPED_TRACE(mode);
        // Everything the stand-in for the program needs is made before it is forked.
        Environment env = environmentWith({"CROPLING_ESCAPE=spin", "CROPLING_ESCAPE_PARENT=1", mode});
        int requests[2], report[2];
        ASSERT_EQ(::pipe(requests), 0);
        ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
        const std::uint64_t empty = 0;
        ASSERT_EQ(::write(requests[1], &empty, sizeof empty), ssize_t(sizeof empty));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, requests[0], 0);
        char* argv[] = {const_cast<char*>("helper"), nullptr};
        const pid_t program = ::fork();
        if (program == 0) {
            pid_t helper = -1;
            ::posix_spawn(&helper, ESCAPE_KIT, &actions, nullptr, argv, env.pointers.data());
            (void)!::write(report[1], &helper, sizeof helper);
            for (;;)
                ::pause();
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(requests[0]);
        ::close(report[1]);
        pid_t helper = -1;
        ASSERT_EQ(::read(report[0], &helper, sizeof helper), ssize_t(sizeof helper));
        ::close(report[0]);
        ASSERT_GT(helper, 0);
        // Spinning once filtered: the helper, and with namespaces the one it waits for.
        const bool namespaces = mode == "CROPLING_ESCAPE_MODE=namespaces" && systemGivesNamespaces();
        QDeadlineTimer started(10'000);
        pid_t decoding = -1;
        while (!started.hasExpired() && decoding < 0) {
            QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(helper));
            const pid_t child = children.open(QIODevice::ReadOnly) ? pid_t(children.readAll().trimmed().toInt()) : 0;
            const pid_t candidate = namespaces ? child : helper;
            const auto seen = candidate > 0 ? HelperConfinement::of(candidate) : std::nullopt;
            if (seen && seen->filtered)
                decoding = candidate;
            else
                QThread::yieldCurrentThread();
        }
        ASSERT_GT(decoding, 0);
        ::kill(program, SIGKILL);
        ::waitpid(program, nullptr, 0);
        QDeadlineTimer deadline(10'000);
        while (!deadline.hasExpired() && !(ended(helper) && ended(decoding)))
            QThread::yieldCurrentThread();
        EXPECT_TRUE(ended(helper));
        EXPECT_TRUE(ended(decoding));
        ::close(requests[1]);
    }
}

// A file may hold up to a thousand tracks, and probing each would hold a decoder for each: a clip
// whose one video track is repeated a thousand times costs the video helper about what the clip
// of one track does, measured as the peak memory of the helper's processes.
TEST(Confinement, AClipOfAThousandTracksCostsTheHelperWhatOneTrackDoes) {
    const QByteArray one =
        readFile(clipFile(QStringLiteral("tracks.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"),
                                                         QStringLiteral("yuv420p")},
                          1, 10, 320, 180));
    ASSERT_FALSE(one.isEmpty());
    const QByteArray many = mp4WithRepeatedTrack(one, 1000);
    ASSERT_FALSE(many.isEmpty());
    const auto peakKb = [](const QByteArray& clip) {
        Spawned helper = spawnHelper(DecoderSession::videoHelperPath(), clip, {});
        const wire::ReplyHead head = askHelper(helper, wire::Task::RenderFrames, 32);
        EXPECT_EQ(head.magic, wire::kReplyMagic);
        EXPECT_EQ(head.status, wire::Status::Ok);
        ::close(helper.requests);
        ::close(helper.replies);
        // The waiting process's own peak and that of the one it waited for, whichever is larger.
        rusage usage {};
        int status = 0;
        ::wait4(helper.pid, &status, 0, &usage);
        return usage.ru_maxrss;
    };
    const long single = peakKb(one);
    const long thousand = peakKb(many);
    EXPECT_LT(thousand, single * 2) << single << " KB for one track, " << thousand << " KB for a thousand";
}
