#include "FileWriting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cropling {

namespace {

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool fail(int code, QString* error) {
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
    return false;
}

} // namespace

bool writeFileAtomically(const QByteArray& path, const QByteArray& data, QString* error) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    QByteArray temporary = folder + "/.cropling-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail(errno, error);

    // mkstemp makes the file 0600; a saved picture gets the usual mode for new files.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    int code = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporary.constData(), path.constData()) == 0)
        return true;
    if (ok)
        code = errno;
    ::unlink(temporary.constData());
    return fail(code, error);
}

} // namespace cropling
