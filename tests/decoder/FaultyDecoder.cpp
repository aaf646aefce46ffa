// A stand-in for the decoding helper that misbehaves as a decoder made to fail by a hostile file
// would. The "picture" it is handed names the fault, so that each load of a test picks its own:
// the program must survive each with a clear reason.

#include "helpers/common/Sandbox.h"
#include "wire/DecoderWire.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace cropling;

namespace {

bool readExactly(void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(0, bytes, size);
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

void send(const wire::ReplyHead& head, const std::string& payload = {}) {
    if (::write(1, &head, sizeof head) != ssize_t(sizeof head) ||
        ::write(1, payload.data(), payload.size()) != ssize_t(payload.size()))
        ::_exit(2);
}

} // namespace

int main() {
    std::uint64_t length = 0;
    if (!readExactly(&length, sizeof length))
        return 2;
    std::string fault(64, '\0');
    if (length == wire::kPictureOnFd) {
        const ssize_t n = ::read(wire::kPictureFd, fault.data(), fault.size());
        fault.resize(size_t(std::max<ssize_t>(n, 0)));
    } else if (length <= fault.size()) {
        fault.resize(length);
        if (!readExactly(fault.data(), length))
            return 2;
    } else {
        return 2;
    }
    if (fault == "beyond-the-file-bound")
        return wire::kExitTooLarge; // as a file that grew past the bound while it was read
    if (fault == "allocate") {
        // The real helper's limits, then memory without end, as a decoder told of a huge frame.
        std::set_new_handler([] { ::_exit(3); });
        sandbox::limitResources();
        std::vector<char*> blocks;
        for (;;) {
            blocks.push_back(new char[64 << 20]);
            std::memset(blocks.back(), 1, 64 << 20);
        }
    }
    if (fault == "needs-300-mb") {
        // A good picture whose decode takes 300 MB: more than the least share of memory.
        std::set_new_handler([] { ::_exit(3); });
        sandbox::limitResources();
        constexpr size_t kBytes = size_t(300) << 20;
        char* block = new char[kBytes];
        std::memset(block, 1, kBytes);
        fault = "ok";
    }
    wire::Request request;
    while (readExactly(&request, sizeof request)) {
        if (fault == "abort")
            ::abort();
        if (fault == "hang")
            ::pause();
        wire::ReplyHead head;
        head.fullWidth = head.fullHeight = 8;
        if (fault == "garbage") {
            head.magic = 0xdeadbeef;
            send(head);
        } else if (fault == "claims-too-much") {
            head.width = head.height = 1 << 20;
            head.bands = 4;
            head.payloadBytes = std::uint64_t(1) << 42;
            send(head);
        } else if (fault == "first-look-then-abort" || fault == "first-look-then-hang") {
            // A good first look, then a death, or no answer, on the final decode.
            if (request.task != wire::Task::Preview && fault == "first-look-then-abort")
                ::abort();
            if (request.task != wire::Task::Preview)
                ::pause();
            head.width = head.height = 8;
            head.bands = 3;
            head.payloadBytes = 8 * 8 * 3;
            send(head, std::string(8 * 8 * 3, '\x40'));
        } else if (fault == "slow-every-task") {
            // A good answer to every task, each after a while: together they overrun.
            ::usleep(150'000);
            head.width = head.height = 8;
            head.bands = 3;
            head.payloadBytes = 8 * 8 * 3;
            send(head, std::string(8 * 8 * 3, '\x40'));
        } else if (fault == "large-then-stalls") {
            // A head within every bound and true to itself, then a few rows of it and no more.
            head.fullWidth = head.width = 4000;
            head.fullHeight = head.height = 3000;
            head.bands = 4;
            head.payloadBytes = 4000ULL * 3000 * 4;
            send(head, std::string(1 << 20, '\x40'));
            ::pause();
        } else if (fault == "beyond-a-bound") {
            // A refusal by a bound on pictures, which more memory would not change.
            head.status = wire::Status::TooLarge;
            send(head);
        } else if (fault == "not-a-png") {
            // A render that is the right length and says it is 128 x 128, but is no PNG.
            head.width = head.height = request.side;
            head.payloadBytes = 64;
            send(head, std::string(64, 'x'));
        } else if (fault == "ok") {
            // An 8 x 8 grey picture, with no first look.
            if (request.task == wire::Task::Preview) {
                head.status = wire::Status::Nothing;
                head.fullWidth = head.fullHeight = 0;
                send(head);
            } else if (request.task == wire::Task::Decode) {
                head.width = head.height = 8;
                head.bands = 3;
                head.payloadBytes = 8 * 8 * 3;
                send(head, std::string(8 * 8 * 3, '\x80'));
            } else {
                send(head);
            }
        } else {
            return 2;
        }
    }
    return 0;
}
