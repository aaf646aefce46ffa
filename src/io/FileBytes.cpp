#include "FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace cropling {

int openRegularFile(const QByteArray& path, int* error, long long maxBytes) {
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
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes) {
        *error = info.st_size > maxBytes && S_ISREG(info.st_mode) ? EFBIG : EINVAL;
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace cropling
