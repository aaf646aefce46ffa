// Starting a session's helper: which helper, its environment, and the hand-over of the picture.

#include "DecoderSession.h"

#include "image/DecoderReply.h"
#include "wire/DecoderWire.h"
#include "image/Formats.h"
#include "wire/PipeTransfer.h"
#include "image/ProgramFiles.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace cropling {

namespace {

constexpr char kWithoutModules[] = "VIPSHOME=/nonexistent/cropling-without-modules";
// The libvips home the program was started with, kept for its helpers when the program's own
// libvips was set to load no modules (empty: none was set).
constexpr char kHelpersVipsHome[] = "CROPLING_HELPERS_VIPSHOME";

// The helper's environment: the program's, and for a picture that no loadable module of libvips
// reads (HEIF, AVIF and JPEG XL are modules; JPEG, PNG, WebP, GIF, TIFF and SVG are built in), a
// libvips home without modules, so its start-up loads none of them (some 20 ms of a headless save).
// A helper of a batch that runs one picture per core works on one thread: libvips' and the
// resampler's; any other on as many as its share holds (threadsFor). Each helper is told the
// memory it was admitted with, and limits itself to it.
class HelperEnvironment {
public:
    HelperEnvironment(bool modules, int threads, std::int64_t memory) {
        const auto overridden = [](const char* entry) {
            return std::strncmp(entry, "VIPS_CONCURRENCY=", 17) == 0 || std::strncmp(entry, "CROPLING_THREADS=", 17) == 0;
        };
        const auto named = [](const char* entry, const char* name) {
            const size_t length = std::strlen(name);
            return std::strncmp(entry, name, length) == 0 && entry[length] == '=';
        };
        const char* kept = std::getenv(kHelpersVipsHome);
        for (char** e = environ; *e; ++e) {
            const bool home = named(*e, "VIPSHOME");
            if ((!home || (modules && !kept)) && !named(*e, kHelpersVipsHome) && !named(*e, helperMemory::kVariable) && !overridden(*e))
                entries_.emplace_back(*e);
        }
        if (!modules)
            entries_.emplace_back(kWithoutModules);
        else if (kept && *kept)
            entries_.emplace_back(QByteArray("VIPSHOME=") + kept);
        entries_.emplace_back("VIPS_CONCURRENCY=" + QByteArray::number(threads));
        entries_.emplace_back("CROPLING_THREADS=" + QByteArray::number(threads));
        entries_.emplace_back(QByteArray(helperMemory::kVariable) + '=' + QByteArray::number(qint64(memory)));
        for (QByteArray& entry : entries_)
            pointers_.push_back(entry.data());
        pointers_.push_back(nullptr);
    }
    char* const* pointers() const { return pointers_.data(); }

private:
    std::vector<QByteArray> entries_;
    std::vector<char*> pointers_;
};

// The threads a helper works on: as many as asked (every core by default, or fewer where
// VIPS_CONCURRENCY says so), but no more than its share of memory holds, each with its stack and
// buffers of its own, or a many-core machine would spend a small share on stacks alone.
int threadsFor(std::int64_t share, int asked) {
    int threads = asked > 0 ? asked : int(std::thread::hardware_concurrency());
    if (const char* concurrency = std::getenv("VIPS_CONCURRENCY"); asked <= 0 && concurrency && std::atoi(concurrency) > 0)
        threads = std::atoi(concurrency);
    const auto most = int(std::max<std::int64_t>(1, share / (8 * helperMemory::kThreadStackBytes)));
    return std::clamp(threads, 1, most);
}

} // namespace

void DecoderSession::leaveVipsModulesToHelpers() {
    if (std::getenv(kHelpersVipsHome))
        return; // a program started by this one: already so
    const char* home = std::getenv("VIPSHOME");
    ::setenv(kHelpersVipsHome, home ? home : "", 1);
    ::setenv("VIPSHOME", kWithoutModules + std::strlen("VIPSHOME="), 1);
}

QByteArray DecoderSession::helperPath() {
    if (const char* own = std::getenv("CROPLING_DECODER"))
        return own;
    return programFile(QStringLiteral("cropling-decoder"), "libexec/cropling", CROPLING_DECODER_BUILD_PATH);
}

QByteArray DecoderSession::videoHelperPath() {
    return programFile(QStringLiteral("cropling-video-decoder"), "libexec/cropling", CROPLING_VIDEO_DECODER_BUILD_PATH);
}

QByteArray DecoderSession::directHelperPath() {
    return programFile(QStringLiteral("cropling-direct-decoder"), "libexec/cropling", CROPLING_DIRECT_DECODER_BUILD_PATH);
}

bool DecoderSession::start(const QByteArray& encoded) { return start(PictureInput::bytes(encoded)); }

bool DecoderSession::start(const PictureInput& input, bool forRender) {
    PictureInput again = input.again();
    if (again.isValid())
        again_ = std::move(again);
    // A clip goes to the video helper for every task; nothing else reads it.
    if (!std::getenv("CROPLING_DECODER") && isClip(input.head(64))) {
        clip_ = true;
        return spawn(input, videoHelperPath());
    }
    if (forRender && again_ && !std::getenv("CROPLING_DECODER") && rendersDirectly(input.head(12))) {
        direct_ = true;
        if (spawn(input, directHelperPath()))
            return true;
        direct_ = false;
    }
    return spawn(input, helperPath());
}

bool DecoderSession::spawn(const PictureInput& input, const QByteArray& path, bool whole) {
    // Waiting for a share is not the helper's time: the deadline starts with the helper.
    using namespace helperMemory;
    const std::int64_t ask = whole ? kWholeShareBytes : direct_ ? kDirectAskBytes : kDecoderAskBytes;
    share_ = memoryBudget().admit(ask, whole, cancelled_);
    if (share_ == 0)
        return false;
    wholeShare_ = whole;
    path_ = path;
    // A write to a helper that has died must fail, not end the program.
    static std::once_flag pipeSignal;
    std::call_once(pipeSignal, [] { ::signal(SIGPIPE, SIG_IGN); });

    int requests[2] = {-1, -1};
    int replies[2] = {-1, -1};
    bool ok = ::pipe2(requests, O_CLOEXEC) == 0 && ::pipe2(replies, O_CLOEXEC) == 0;
    // Each descriptor handed on lies above 2, so that placing one at 0, 1, 2 or 3 in the helper
    // never overwrites another (a program started with a standard descriptor closed gets low ones).
    int picture = input.fd() >= 0 ? ::fcntl(input.fd(), F_DUPFD_CLOEXEC, wire::kPictureFd + 1) : -1;
    for (int* fd : {&requests[0], &replies[1]}) {
        if (*fd >= 0 && *fd <= wire::kPictureFd) {
            const int moved = ::fcntl(*fd, F_DUPFD_CLOEXEC, wire::kPictureFd + 1);
            ::close(*fd);
            *fd = moved;
        }
    }
    ok = ok && requests[0] >= 0 && replies[1] >= 0 && (input.fd() < 0 || picture >= 0);
    if (ok) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, requests[0], 0);
        posix_spawn_file_actions_adddup2(&actions, replies[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // A file is read by the helper alone, from descriptor 3: its bytes never pass through here.
        if (picture >= 0)
            posix_spawn_file_actions_adddup2(&actions, picture, wire::kPictureFd);
        const HelperEnvironment environment(needsLoadableModule(input.head(32)), threadsFor(share_, helperThreads_.load()), share_);
        char* argv[] = {const_cast<char*>("cropling-decoder"), nullptr};
        std::lock_guard lock(mutex_);
        pid_t pid = -1;
        ok = !cancelled_ && ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv, environment.pointers()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (ok) {
            pid_ = pid;
            requestFd_ = std::exchange(requests[1], -1);
            replyFd_ = std::exchange(replies[0], -1);
        }
    }
    for (int* fd : {&picture, &requests[0], &requests[1], &replies[0], &replies[1]})
        closeDescriptor(*fd);
    if (!ok) {
        memoryBudget().release(std::exchange(share_, 0));
        return false;
    }
    return handOver(input);
}

bool DecoderSession::handOver(const PictureInput& input) {
    const QByteArray& encoded = input.data();
    // The picture goes first on the request pipe, its length before it (or the mark of a file on
    // descriptor 3). The helper reads it whole before anything else; the time this takes counts
    // towards the deadline.
    QElapsedTimer clock;
    clock.start();
    const std::uint64_t length = input.fd() >= 0 ? wire::kPictureOnFd : std::uint64_t(encoded.size());
    ::fcntl(requestFd_, F_SETFL, O_NONBLOCK);
    const bool ok = writeBefore(requestFd_, reinterpret_cast<const char*>(&length), sizeof length, clock, deadlineMs_) &&
                    writeBefore(requestFd_, encoded.constData(), size_t(encoded.size()), clock, deadlineMs_);
    spentMs_ += clock.elapsed();
    if (!ok)
        reap();
    return ok;
}

} // namespace cropling
