// The decoding helpers as an attacker who has taken one over would find them: every way out
// refused, and from outside, a process of its own namespaces holding nothing but its pipes.

#include "ClipFixtures.h"
#include "PictureFixtures.h"

#include "image/DecoderSession.h"
#include "image/HelperConfinement.h"
#include "image/shared/DecoderWire.h"

#include <QDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

using namespace cropling;
using namespace cropling::test;

namespace {

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
    std::vector<std::string> entries(extraEnv);
    for (char** e = environ; *e; ++e)
        entries.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& entry : entries)
        env.push_back(entry.data());
    env.push_back(nullptr);
    char* argv[] = {const_cast<char*>("helper"), nullptr};
    Spawned spawned;
    EXPECT_EQ(::posix_spawn(&spawned.pid, path.constData(), &actions, nullptr, argv, env.data()), 0);
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
        for (const char* allowed : {"thread", "memory"}) {
            const int status = run(allowed);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << allowed << " status " << status;
        }
        for (const char* forbidden :
             {"open-file", "create-file", "socket", "socketpair", "io-uring", "kill-parent", "tgkill-parent",
              "pidfd-parent", "ptrace-parent", "read-parent-memory", "signal-on-input", "exec", "fork", "clone3",
              "foreign-descriptor", "raise-limit", "setrlimit", "executable-memory", "make-executable", "unshare",
              "mount", "bpf", "userfaultfd"}) {
            const int status = run(forbidden);
            const bool refused = (WIFEXITED(status) && WEXITSTATUS(status) == 0) ||
                                 (WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS);
            EXPECT_TRUE(refused) << forbidden << " status " << status;
        }
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
        wire::Request request;
        request.task = wire::Task::Render;
        request.side = 16;
        ASSERT_EQ(::write(helper.requests, &request, sizeof request), ssize_t(sizeof request));
        wire::ReplyHead head;
        ASSERT_EQ(::read(helper.replies, &head, sizeof head), ssize_t(sizeof head));

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
        EXPECT_TRUE(descriptorsOf(helper.pid).isEmpty()) << descriptorsOf(helper.pid).join(' ').toStdString();
        EXPECT_EQ(descriptorsOf(decoding), QStringList({"0", "1", "2"}));
        char target[64] = {};
        ASSERT_GT(::readlink(QByteArray("/proc/" + QByteArray::number(decoding) + "/fd/2").constData(), target, 63), 0);
        EXPECT_STREQ(target, "/dev/null");
        const int status = endOf(helper);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}
