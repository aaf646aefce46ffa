#include "DecoderSession.h"

#include "image/DecoderReply.h"
#include "image/HelperConfinement.h"
#include "wire/DecoderWire.h"
#include "wire/PipeTransfer.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"

#include <QElapsedTimer>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

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

// How a helper that ended by itself died, as a reason. Its own exit codes and the signals of the
// limits it set say which bound it hit; any other death is the decoder failing on the file.
OpenFailure reasonOfDeath(int status) {
    if (WIFEXITED(status)) {
        switch (WEXITSTATUS(status)) {
        case wire::kExitOutOfMemory: return OpenFailure::OutOfMemory;
        case wire::kExitTooLarge: return OpenFailure::TooLarge;
        default: return OpenFailure::Damaged;
        }
    }
    switch (WTERMSIG(status)) {
    case SIGXCPU: return OpenFailure::TookTooLong;
    case SIGKILL: // the kernel's last resort for memory
    case SIGTRAP: // GLib's answer to an allocation the helper's limits refused
        return OpenFailure::OutOfMemory;
    default: return OpenFailure::Damaged;
    }
}

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
        closeDescriptor(requestFd_);
        closeDescriptor(replyFd_);
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
    memoryBudget().release(std::exchange(share_, 0));
    return exited ? reasonOfDeath(status) : OpenFailure::Damaged;
}

void DecoderSession::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
    }
    // A session still waiting for its share of memory stops waiting.
    memoryBudget().wake();
}

MemoryBudget& DecoderSession::memoryBudget() {
    static MemoryBudget budget(helperMemory::kPoolBytes);
    return budget;
}

void DecoderSession::cancelAll() {
    std::lock_guard lock(registryMutex);
    for (DecoderSession* session : registry())
        session->cancel();
}

Request DecoderSession::withSpan(Request request) const {
    if (!clip_ || !span_ || request.clipFrames > 0)
        return request;
    const FrameSampling sampling = frameSampling(*span_, clipFrameMs_);
    request.clipStartMs = span_->startMs;
    request.clipStepMs = sampling.stepMs;
    request.clipDelayMs = sampling.delayMs;
    request.clipFrames = sampling.frames;
    return request;
}

std::optional<DecoderSession::Reply> DecoderSession::ask(const Request& asked, std::optional<OpenFailure>* failure) {
    const Request request = withSpan(asked);
    OpenFailure why;
    auto reply = exchangeAdmitted(request, &why);
    // A helper that answers has shut itself in: what that amounted to is looked at once.
    if (reply && !HelperConfinement::seen()) {
        std::unique_lock lock(mutex_);
        const pid_t helper = pid_;
        lock.unlock();
        HelperConfinement::noteHelper(helper);
    }
    Status status = reply ? reply->head.status : Status::Damaged;
    // What the direct helper declines is asked of the libvips helper, which gets the picture anew.
    if (reply && status == Status::Declined && direct_) {
        direct_ = false;
        reap();
        reply.reset();
        if (again_ && spawn(again_->again(), helperPath()))
            reply = exchangeAdmitted(request, &why);
        status = reply ? reply->head.status : Status::Damaged;
    }
    if (reply && status == Status::Ok && clip_) {
        clipMs_ = reply->head.clipMs;
        clipFrameMs_ = reply->head.clipFrameMs;
    }
    if (!reply)
        *failure = why;
    else if (status == Status::Declined)
        *failure = OpenFailure::Damaged; // only the direct helper declines
    else if (status != Status::Ok)
        *failure = wire::failureOf(status);
    // Beyond the session, running out of memory is one of the bounds a picture can be too large for.
    if (*failure == OpenFailure::OutOfMemory)
        *failure = OpenFailure::TooLarge;
    if (reply && status == Status::UnsupportedCodec)
        refusedCodec_ = VideoCodec(reply->head.codec);
    return reply && status == Status::Ok ? std::move(reply) : std::nullopt;
}

std::optional<DecoderSession::Reply> DecoderSession::exchangeAdmitted(const Request& request, OpenFailure* why) {
    auto reply = exchange(request, why);
    // A helper that ran out of memory on less than the whole share is asked again with it. (What a
    // bound refused, a larger share would refuse as well.)
    const bool outOfMemory = reply ? reply->head.status == Status::OutOfMemory : *why == OpenFailure::OutOfMemory;
    if (!outOfMemory || wholeShare_ || !again_ || cancelled_)
        return reply;
    reap();
    if (!spawn(again_->again(), path_, true))
        return reply;
    return exchange(request, why);
}

std::optional<DecoderSession::Reply> DecoderSession::pixelsReply(wire::Task task, int side, std::optional<OpenFailure>* failure) {
    Request request;
    request.task = task;
    request.side = side;
    auto reply = ask(request, failure);
    if (reply)
        frames_ = reply->head.frames;
    return reply;
}

Outcome<std::shared_ptr<const Picture>> DecoderSession::pixels(wire::Task task, int side) {
    std::optional<OpenFailure> failure;
    auto reply = pixelsReply(task, side, &failure);
    if (!reply)
        return {std::nullopt, failure};
    const ReplyHead& h = reply->head;
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

Outcome<DecoderSession::PlainPixels> DecoderSession::plainPixels(wire::Task task, int side) {
    std::optional<OpenFailure> failure;
    auto reply = pixelsReply(task, side, &failure);
    if (!reply)
        return {std::nullopt, failure};
    const ReplyHead& h = reply->head;
    // The checked head says exactly how many bytes came.
    const auto* bytes = static_cast<const std::uint8_t*>(reply->payload);
    PixelRows rows{h.width, h.height, int(h.bands), {bytes, bytes + h.payloadBytes}};
    return {PlainPixels{std::move(rows), QSize(h.fullWidth, h.fullHeight)}, std::nullopt};
}

Outcome<DecoderSession::PlainPixels> DecoderSession::decodePixels(int side) { return plainPixels(Task::Decode, side); }

Outcome<DecoderSession::PlainPixels> DecoderSession::previewPixels(int side) { return plainPixels(Task::Preview, side); }

Outcome<std::shared_ptr<const Picture>> DecoderSession::decode(int side) { return pixels(Task::Decode, side); }

Outcome<std::shared_ptr<const Picture>> DecoderSession::preview(int side) { return pixels(Task::Preview, side); }

Outcome<std::shared_ptr<const Picture>> DecoderSession::openForRender() {
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

Outcome<QByteArray> DecoderSession::render(const Framing& framing, int side, int turn) {
    if (side < 1 || side > wire::kMaxRenderSide)
        return {};
    std::optional<OpenFailure> failure;
    auto reply = ask(squareRequest(Task::Render, framing, side, turn), &failure);
    if (!reply)
        return {std::nullopt, failure};
    QByteArray png(static_cast<const char*>(reply->payload), qsizetype(reply->head.payloadBytes));
    if (!wire::isPngOfSide(png, side))
        return {std::nullopt, OpenFailure::Damaged};
    return {std::move(png), std::nullopt};
}

} // namespace cropling
