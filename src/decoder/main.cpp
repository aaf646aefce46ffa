// The decoding helper: reads one picture from descriptor 0, shuts itself in, then answers the
// program's tasks, read from descriptor 0 and answered on 1, until the program closes them.

#include "decoder/Sandbox.h"
#include "image/DecodeService.h"
#include "image/DecoderWire.h"

#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

using namespace cropling;

namespace {

// Exit statuses the program reads as reasons.
constexpr int kExitBroken = 2;      // the conversation itself went wrong
constexpr int kExitOutOfMemory = 3; // an allocation the address limit refused

bool readExactly(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

bool writeExactly(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

// The picture as handed over on the request pipe: its length, then its bytes.
bool readPicture(QByteArray* picture) {
    std::uint64_t length = 0;
    if (!readExactly(0, &length, sizeof length) || length > std::uint64_t(wire::kMaxPictureBytes))
        return false;
    picture->resize(qsizetype(length));
    return readExactly(0, picture->data(), size_t(length));
}

} // namespace

int main() {
    // Few malloc arenas: each reserves address space, which the limit counts.
    ::mallopt(M_ARENA_MAX, 2);
    ::signal(SIGPIPE, SIG_IGN);
    // Nothing but the descriptors of the conversation.
    ::close_range(3, ~0U, 0);
    std::set_new_handler([] { ::_exit(kExitOutOfMemory); });

    QByteArray picture;
    if (!readPicture(&picture) || !sandbox::limitResources())
        return kExitBroken;
    prepareFor(picture);
    if (!sandbox::shutOff())
        return kExitBroken;

    DecodeService service(std::move(picture));
    wire::Request request;
    while (readExactly(0, &request, sizeof request)) {
        if (request.magic != wire::kRequestMagic)
            ::_exit(kExitBroken);
        Payload payload;
        const wire::ReplyHead head = service.serve(request, &payload);
        if (!writeExactly(1, &head, sizeof head) || !writeExactly(1, payload.data(), payload.size()))
            ::_exit(kExitBroken);
    }
    // Quick: no library's clean-up is worth waiting for.
    ::_exit(0);
}
