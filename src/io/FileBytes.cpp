#include "FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace cropling {

std::optional<QByteArray> readRegularFile(const QByteArray& path) {
    if (path.isEmpty() || path.contains('\0'))
        return std::nullopt;
    // O_NONBLOCK keeps open() from waiting for a writer on a FIFO; fstat on the opened descriptor
    // then decides, so a file swapped in between cannot slip through.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileBytes) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    char chunk[1 << 16];
    bool failed = false;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        // A file that grows past the limit while being read is refused like one that started too big.
        if (n < 0 || bytes.size() + n > kMaxFileBytes) {
            failed = true;
            break;
        }
        bytes.append(chunk, n);
    }
    ::close(fd);
    if (failed)
        return std::nullopt;
    return bytes;
}

} // namespace cropling
