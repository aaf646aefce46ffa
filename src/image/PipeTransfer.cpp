#include "PipeTransfer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cropling {

PipeEnd readBefore(int fd, char* data, size_t size, const QElapsedTimer& clock, qint64 deadlineMs) {
    while (size > 0) {
        const qint64 left = deadlineMs - clock.elapsed();
        if (left <= 0)
            return PipeEnd::Late;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::min<qint64>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            return PipeEnd::Closed;
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(fd, data, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return PipeEnd::Closed;
        data += n;
        size -= size_t(n);
    }
    return PipeEnd::Done;
}

bool writeBefore(int fd, const char* data, size_t size, const QElapsedTimer& clock, qint64 deadlineMs) {
    while (size > 0) {
        const qint64 left = deadlineMs - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, int(std::min<qint64>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0)
            continue;
        const ssize_t n = ::write(fd, data, std::min<size_t>(size, 1 << 16));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace cropling
