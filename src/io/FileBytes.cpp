#include "FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace cropling {

int openRegularFile(const QByteArray& path, int* error) {
    *error = ENOENT;
    if (path.isEmpty() || path.contains('\0'))
        return -1;
    // O_NONBLOCK keeps open() from waiting for a writer on a FIFO; fstat on the opened descriptor
    // then decides, so a file swapped in between cannot slip through.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileBytes) {
        *error = info.st_size > kMaxFileBytes && S_ISREG(info.st_mode) ? EFBIG : EINVAL;
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<QByteArray> readRegularFile(const QByteArray& path) {
    int error = 0;
    const int fd = openRegularFile(path, &error);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    ::fstat(fd, &info);
    // Read straight into a buffer of the announced size, so a large photo is copied only once. A
    // file that turns out longer than announced is still read whole, in chunks, up to the limit.
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    bool failed = false;
    char chunk[1 << 16];
    for (;;) {
        const bool inPlace = filled < bytes.size();
        char* into = inPlace ? bytes.data() + filled : chunk;
        const size_t room = inPlace ? size_t(bytes.size() - filled) : sizeof chunk;
        const ssize_t n = ::read(fd, into, room);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        // A file that grows past the limit while being read is refused like one that started too big.
        if (n < 0 || filled + n > kMaxFileBytes) {
            failed = true;
            break;
        }
        if (!inPlace) {
            bytes.truncate(filled);
            bytes.append(chunk, n);
        }
        filled += n;
    }
    bytes.truncate(filled);
    ::close(fd);
    if (failed)
        return std::nullopt;
    return bytes;
}

} // namespace cropling
