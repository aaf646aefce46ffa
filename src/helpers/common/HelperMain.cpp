#include "HelperMain.h"

#include "helpers/common/RefusedMemory.h"
#include "helpers/common/Sandbox.h"
#include "helpers/common/SyscallFilter.h"
#include "wire/PipeTransfer.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

namespace cropling {

namespace {

// Exit statuses the program reads as reasons.
constexpr int kExitBroken = 2; // the conversation itself went wrong
using wire::kExitOutOfMemory;
using wire::kExitTooLarge;

bool failedForWantOfMemory(const wire::ReplyHead& head) {
    switch (head.status) {
    case wire::Status::Ok:
    case wire::Status::Nothing:
    case wire::Status::Declined:
    case wire::Status::OutOfMemory: return false;
    default: return sandbox::takeRefusedMemory();
    }
}

// The picture as handed over: its length and bytes on the request pipe, or a file of its own,
// read whole, or left open on its descriptor for a helper that streams it (`*streamed`).
int readPicture(QByteArray* picture, bool* streamed) {
    std::uint64_t length = 0;
    if (!readExactly(0, &length, sizeof length))
        return kExitBroken;
    if (length == wire::kPictureOnFd && *streamed) {
        struct stat info {};
        return ::fstat(wire::kPictureFd, &info) == 0 && S_ISREG(info.st_mode) ? 0 : kExitBroken;
    }
    *streamed = false;
    if (length != wire::kPictureOnFd) {
        if (length > std::uint64_t(wire::kMaxPictureBytes))
            return kExitBroken;
        picture->resize(qsizetype(length));
        return readExactly(0, picture->data(), size_t(length)) ? 0 : kExitBroken;
    }
    // A file is read to its end, which may lie past the size it had when it was opened.
    struct stat info {};
    if (::fstat(wire::kPictureFd, &info) != 0 || !S_ISREG(info.st_mode))
        return kExitBroken;
    if (info.st_size > wire::kMaxPictureBytes)
        return kExitTooLarge;
    // One byte of room beyond the size it had: a file that has not grown is read without the
    // buffer ever being moved, which would hold it twice for a moment.
    picture->resize(qsizetype(info.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == picture->size()) {
            if (picture->size() >= wire::kMaxPictureBytes)
                return kExitTooLarge;
            picture->resize(std::min<qsizetype>(picture->size() + (1 << 20), wire::kMaxPictureBytes));
        }
        // From the file's start, whatever its offset: the descriptor may be shared with a helper
        // that read it before this one.
        const ssize_t n = ::pread(wire::kPictureFd, picture->data() + filled, size_t(picture->size() - filled), off_t(filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return kExitBroken;
        if (n == 0)
            break;
        filled += n;
    }
    picture->truncate(filled);
    ::close(wire::kPictureFd);
    return 0;
}

} // namespace

namespace {

int runAnyHelper(const std::function<void(const QByteArray&)>& prepare,
                 const std::function<std::unique_ptr<TaskServer>(QByteArray picture, int fd)>& serverFor, bool streams) {
    // Few malloc arenas: each reserves address space, which the limit counts.
    ::mallopt(M_ARENA_MAX, 2);
    ::signal(SIGPIPE, SIG_IGN);
    // Nothing but the descriptors of the conversation and the picture; whatever was passed as
    // standard error (a terminal, a file of the program's) is let go of for /dev/null.
    ::close_range(wire::kPictureFd + 1, ~0U, 0);
    if (const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
        ::dup2(null, 2);
        ::close(null);
    }
    std::set_new_handler([] { ::_exit(kExitOutOfMemory); });
    // An allocation refused where no operator new was called (Qt's containers throw bad_alloc
    // themselves) ends the helper as out of memory too, not as a decoder that failed.
    std::set_terminate([] {
        if (const std::exception_ptr thrown = std::current_exception()) {
            try {
                std::rethrow_exception(thrown);
            } catch (const std::bad_alloc&) {
                ::_exit(kExitOutOfMemory);
            } catch (...) {
            }
        }
        if (sandbox::refusedMemory())
            ::_exit(kExitOutOfMemory);
        std::abort();
    });

    // The limits come first: even the bytes handed over count against them. Namespaces are
    // entered while the helper still has one thread.
    if (!sandbox::limitResources())
        return kExitBroken;
    // CROPLING_NO_NAMESPACES=1 runs the helper as on a system that refuses them: for measuring
    // what they cost, and for trying that case where they are given.
    const bool ownNamespaces = !std::getenv("CROPLING_NO_NAMESPACES") && sandbox::enterNamespaces();
    QByteArray picture;
    bool streamed = streams;
    if (const int failed = readPicture(&picture, &streamed))
        return failed;
    if (!streamed)
        ::close(wire::kPictureFd);
    if (streamed) {
        QByteArray head(64, '\0');
        const ssize_t n = ::pread(wire::kPictureFd, head.data(), size_t(head.size()), 0);
        head.truncate(n > 0 ? n : 0);
        prepare(head);
    } else {
        prepare(picture);
    }
    if ((ownNamespaces && !sandbox::leaveFileSystem()) || !sandbox::allowDecodingOnly())
        return kExitBroken;

    const std::unique_ptr<TaskServer> server = serverFor(std::move(picture), streamed ? wire::kPictureFd : -1);
    wire::Request request;
    while (readExactly(0, &request, sizeof request)) {
        if (request.magic != wire::kRequestMagic)
            ::_exit(kExitBroken);
        std::string_view payload;
        sandbox::takeRefusedMemory();
        wire::ReplyHead head = server->serve(request, &payload);
        // A task that failed while an allocation was refused failed for want of memory, whatever
        // the decoder made of it.
        if (failedForWantOfMemory(head)) {
            head = wire::ReplyHead{};
            head.status = wire::Status::OutOfMemory;
            payload = {};
        }
        if (!writeExactly(1, &head, sizeof head) || !writeExactly(1, payload.data(), payload.size()))
            ::_exit(kExitBroken);
        server->sent();
    }
    // Quick: no library's clean-up is worth waiting for.
    ::_exit(0);
}

} // namespace

int runHelper(const std::function<void(const QByteArray&)>& prepare,
              const std::function<std::unique_ptr<TaskServer>(QByteArray picture)>& serverFor) {
    return runAnyHelper(prepare, [&](QByteArray picture, int) { return serverFor(std::move(picture)); }, false);
}

int runStreamingHelper(const std::function<void(const QByteArray&)>& prepare,
                       const std::function<std::unique_ptr<TaskServer>(QByteArray picture, int fd)>& serverFor) {
    return runAnyHelper(prepare, serverFor, true);
}

} // namespace cropling
