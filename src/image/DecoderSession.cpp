#include "DecoderSession.h"

#include "image/DecoderReply.h"
#include "image/DecoderWire.h"
#include "image/Formats.h"
#include "image/PipeTransfer.h"
#include "image/ProgramFiles.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"

#include <QElapsedTimer>


#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

extern char** environ;

namespace cropling {

using wire::ReplyHead;
using wire::Request;
using wire::Status;
using wire::Task;

namespace {

// Every live session, so that quitting can end their helpers.
std::mutex registryMutex;
std::set<DecoderSession*>& registry() {
    static std::set<DecoderSession*> sessions;
    return sessions;
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// How a helper that ended by itself died, as a reason. Its own exit codes and the signals of the
// limits it set say which bound it hit; any other death is the decoder failing on the file.
OpenFailure reasonOfDeath(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 3 ? OpenFailure::TooLarge : OpenFailure::Damaged;
    switch (WTERMSIG(status)) {
    case SIGXCPU: return OpenFailure::TookTooLong;
    case SIGKILL: // the kernel's last resort for memory
    case SIGTRAP: // GLib's answer to an allocation the address limit refused
        return OpenFailure::TooLarge;
    default: return OpenFailure::Damaged;
    }
}

// The helper's environment: the program's, and for a picture that no loadable module of libvips
// reads (HEIF, AVIF and JPEG XL are modules; JPEG, PNG, WebP, GIF, TIFF and SVG are built in), a
// libvips home without modules, so its start-up loads none of them (some 20 ms of a headless save).
// A helper of a batch that runs one picture per core works on one thread: libvips' and the
// resampler's.
class HelperEnvironment {
public:
    HelperEnvironment(bool modules, int threads) {
        const auto overridden = [threads](const char* entry) {
            return threads > 0 && (std::strncmp(entry, "VIPS_CONCURRENCY=", 17) == 0 || std::strncmp(entry, "CROPLING_THREADS=", 17) == 0);
        };
        for (char** e = environ; *e; ++e) {
            if ((modules || std::strncmp(*e, "VIPSHOME=", 9) != 0) && !overridden(*e))
                entries_.emplace_back(*e);
        }
        if (!modules)
            entries_.emplace_back("VIPSHOME=/nonexistent/cropling-without-modules");
        if (threads > 0) {
            entries_.emplace_back("VIPS_CONCURRENCY=" + QByteArray::number(threads));
            entries_.emplace_back("CROPLING_THREADS=" + QByteArray::number(threads));
        }
        for (QByteArray& entry : entries_)
            pointers_.push_back(entry.data());
        pointers_.push_back(nullptr);
    }
    char* const* pointers() const { return pointers_.data(); }

private:
    std::vector<QByteArray> entries_;
    std::vector<char*> pointers_;
};

} // namespace

std::atomic<int> DecoderSession::helperThreads_ = 0;

DecoderSession::DecoderSession() {
    std::lock_guard lock(registryMutex);
    registry().insert(this);
}

DecoderSession::~DecoderSession() {
    {
        std::lock_guard lock(registryMutex);
        registry().erase(this);
    }
    cancel();
    reap();
}

QByteArray DecoderSession::helperPath() {
    if (const char* own = std::getenv("CROPLING_DECODER"))
        return own;
    return programFile(QStringLiteral("cropling-decoder"), "libexec/cropling", CROPLING_DECODER_BUILD_PATH);
}

QByteArray DecoderSession::directHelperPath() {
    return programFile(QStringLiteral("cropling-direct-decoder"), "libexec/cropling", CROPLING_DIRECT_DECODER_BUILD_PATH);
}

bool DecoderSession::start(const QByteArray& encoded) { return start(PictureInput::bytes(encoded)); }

bool DecoderSession::start(const PictureInput& input, bool forRender) {
    if (forRender && !std::getenv("CROPLING_DECODER") && rendersDirectly(input.head(12))) {
        PictureInput again = input.again();
        if (again.isValid()) {
            declinedTo_ = std::move(again);
            if (spawn(input, directHelperPath()))
                return true;
            declinedTo_.reset();
        }
    }
    return spawn(input, helperPath());
}

bool DecoderSession::spawn(const PictureInput& input, const QByteArray& path) {
    const QByteArray& encoded = input.data();
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
        const HelperEnvironment environment(needsLoadableModule(input.head(32)), helperThreads_.load());
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
        closeFd(*fd);
    if (!ok)
        return false;
    // The picture goes first on the request pipe, its length before it (or the mark of a file on
    // descriptor 3). The helper reads it whole before anything else; the time this takes counts
    // towards the deadline.
    QElapsedTimer clock;
    clock.start();
    const std::uint64_t length = input.fd() >= 0 ? wire::kPictureOnFd : std::uint64_t(encoded.size());
    ::fcntl(requestFd_, F_SETFL, O_NONBLOCK);
    ok = writeBefore(requestFd_, reinterpret_cast<const char*>(&length), sizeof length, clock, deadlineMs_) &&
         writeBefore(requestFd_, encoded.constData(), size_t(encoded.size()), clock, deadlineMs_);
    spentMs_ += clock.elapsed();
    if (!ok)
        reap();
    return ok;
}

std::optional<DecoderSession::Reply> DecoderSession::exchange(const Request& request, OpenFailure* why) {
    int in = -1, out = -1;
    {
        std::lock_guard lock(mutex_);
        in = requestFd_;
        out = replyFd_;
    }
    *why = OpenFailure::Damaged;
    if (in < 0 || out < 0)
        return std::nullopt;
    QElapsedTimer clock;
    clock.start();
    const qint64 deadline = deadlineMs_ - spentMs_;
    Reply reply;
    QByteArray head(sizeof(ReplyHead), Qt::Uninitialized);
    PipeEnd end = writeBefore(in, reinterpret_cast<const char*>(&request), sizeof request, clock, deadline)
                      ? readBefore(out, head.data(), size_t(head.size()), clock, deadline)
                      : PipeEnd::Closed;
    std::optional<ReplyHead> checked;
    if (end == PipeEnd::Done) {
        checked = wire::checkedHead(head, request.task, request.side);
        if (checked && checked->payloadBytes > 0) {
            reply.payload = std::malloc(size_t(checked->payloadBytes));
            end = reply.payload ? readBefore(out, static_cast<char*>(reply.payload), size_t(checked->payloadBytes), clock, deadline)
                                : PipeEnd::Closed;
        }
    }
    spentMs_ += clock.elapsed();
    if (end == PipeEnd::Done && checked) {
        reply.head = *checked;
        return reply;
    }
    // A helper that is late, died, or said something malformed is not asked again.
    const OpenFailure death = reap();
    *why = end == PipeEnd::Late ? OpenFailure::TookTooLong : end == PipeEnd::Closed ? death : OpenFailure::Damaged;
    return std::nullopt;
}

OpenFailure DecoderSession::reap() {
    pid_t pid = -1;
    {
        std::lock_guard lock(mutex_);
        closeFd(requestFd_);
        closeFd(replyFd_);
        pid = pid_;
    }
    if (pid < 0)
        return OpenFailure::Damaged;
    // A dying helper closes its pipes a moment before it can be reaped: it gets that moment, waited
    // for without the lock (so cancel() is never held up) and without reaping it yet (so cancel()
    // can never signal a process number that has been handed to another process).
    bool exited = false;
    for (int wait = 0; !exited && !cancelled_ && wait < 40; ++wait) {
        siginfo_t info{};
        exited = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
        if (!exited)
            ::usleep(5000);
    }
    std::lock_guard lock(mutex_);
    // One that is still alive (it stopped answering, or sent something malformed) is ended now and
    // failed on the picture; one that died keeps the reason of its death.
    if (!exited)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return exited ? reasonOfDeath(status) : OpenFailure::Damaged;
}

void DecoderSession::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (pid_ > 0)
        ::kill(pid_, SIGKILL);
}

void DecoderSession::cancelAll() {
    std::lock_guard lock(registryMutex);
    for (DecoderSession* session : registry())
        session->cancel();
}

std::optional<DecoderSession::Reply> DecoderSession::ask(const Request& request, std::optional<OpenFailure>* failure) {
    OpenFailure why;
    auto reply = exchange(request, &why);
    Status status = reply ? reply->head.status : Status::Damaged;
    // What the direct helper declines is asked of the libvips helper, which gets the picture anew.
    if (reply && status == Status::Declined && declinedTo_) {
        const PictureInput input = std::move(*declinedTo_);
        declinedTo_.reset();
        reap();
        reply.reset();
        if (spawn(input, helperPath()))
            reply = exchange(request, &why);
        status = reply ? reply->head.status : Status::Damaged;
    }
    if (!reply)
        *failure = why;
    else if (status == Status::Declined)
        *failure = OpenFailure::Damaged; // only the direct helper declines
    else if (status != Status::Ok)
        *failure = wire::failureOf(status);
    return reply && status == Status::Ok ? std::move(reply) : std::nullopt;
}

Outcome<std::shared_ptr<const Picture>> DecoderSession::pixels(wire::Task task, int side) {
    Request request;
    request.task = task;
    request.side = side;
    std::optional<OpenFailure> failure;
    auto reply = ask(request, &failure);
    if (!reply)
        return {std::nullopt, failure};
    const ReplyHead& h = reply->head;
    frames_ = h.frames;
    const VipsLayer* layer = VipsLayer::get();
    if (!layer)
        return {std::nullopt, OpenFailure::Damaged};
    // The checked head says exactly how many bytes came: the buffer becomes the bitmap as it is.
    auto picture = layer->fromPixels(std::exchange(reply->payload, nullptr), QSize(h.width, h.height), h.bands,
                                     QSize(h.fullWidth, h.fullHeight));
    if (!picture)
        return {std::nullopt, OpenFailure::TooLarge};
    return {std::move(picture), std::nullopt};
}

Outcome<std::shared_ptr<const Picture>> DecoderSession::decode(int side) { return pixels(Task::Decode, side); }

Outcome<std::shared_ptr<const Picture>> DecoderSession::preview(int side) { return pixels(Task::Preview, side); }

Outcome<std::shared_ptr<const Picture>> DecoderSession::open() {
    Request request;
    request.task = Task::Header;
    std::optional<OpenFailure> failure;
    auto reply = ask(request, &failure);
    if (!reply)
        return {std::nullopt, failure.value_or(OpenFailure::Damaged)};
    frames_ = reply->head.frames;
    return {Picture::renderedBy(shared_from_this(), QSize(reply->head.fullWidth, reply->head.fullHeight), frames_),
            std::nullopt};
}

Outcome<QByteArray> DecoderSession::render(double zoom, QPointF offset, int side) {
    if (side < 1 || side > wire::kMaxRenderSide)
        return {};
    std::optional<OpenFailure> failure;
    auto reply = ask(squareRequest(Task::Render, zoom, offset, side), &failure);
    if (!reply)
        return {std::nullopt, failure};
    QByteArray png(static_cast<const char*>(reply->payload), qsizetype(reply->head.payloadBytes));
    if (!wire::isPngOfSide(png, side))
        return {std::nullopt, OpenFailure::Damaged};
    return {std::move(png), std::nullopt};
}

} // namespace cropling
