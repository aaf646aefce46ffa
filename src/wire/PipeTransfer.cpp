#include "PipeTransfer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cropling {

namespace {

// One loop for both directions: wait until the descriptor is ready (within the deadline, when there
// is one), move what it takes, and go on through short transfers and interruptions.
template <typename Transfer, typename Bytes>
PipeEnd transfer(Transfer move, short ready, int fd, Bytes* bytes, size_t size, const QElapsedTimer* clock,
                 qint64 deadlineMs) {
    while (size > 0) {
        if (clock) {
            const qint64 left = deadlineMs - clock->elapsed();
            if (left <= 0)
                return PipeEnd::Late;
            pollfd p{fd, ready, 0};
            const int polled = ::poll(&p, 1, int(std::min<qint64>(left, 1000)));
            if (polled < 0 && errno != EINTR)
                return PipeEnd::Closed;
            if (polled <= 0)
                continue;
        }
        const ssize_t n = move(fd, bytes, std::min<size_t>(size, 1 << 16));
        if (n < 0 && (errno == EINTR || (clock && errno == EAGAIN)))
            continue;
        if (n <= 0)
            return PipeEnd::Closed;
        bytes += n;
        size -= size_t(n);
    }
    return PipeEnd::Done;
}

} // namespace

PipeEnd readBefore(int fd, char* data, size_t size, const QElapsedTimer& clock, qint64 deadlineMs) {
    return transfer(::read, POLLIN, fd, data, size, &clock, deadlineMs);
}

bool writeBefore(int fd, const char* data, size_t size, const QElapsedTimer& clock, qint64 deadlineMs) {
    return transfer(::write, POLLOUT, fd, data, size, &clock, deadlineMs) == PipeEnd::Done;
}

bool readExactly(int fd, void* data, size_t size) {
    return transfer(::read, POLLIN, fd, static_cast<char*>(data), size, nullptr, 0) == PipeEnd::Done;
}

bool writeExactly(int fd, const void* data, size_t size) {
    return transfer(::write, POLLOUT, fd, static_cast<const char*>(data), size, nullptr, 0) == PipeEnd::Done;
}

} // namespace cropling
