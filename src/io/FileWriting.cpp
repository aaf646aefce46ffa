#include "FileWriting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cropling {

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

namespace {

bool fail(int code, QString* error) {
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
    return false;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// A link is followed to the file it names, so that file is replaced and the link stays a link.
QByteArray followLinks(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t n = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size())
            return path;
        target.truncate(n);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    return path;
}

// Writes over what is there: for a FIFO, a terminal or /dev/stdout, which must not become a regular
// file, and for a file whose folder takes no new files. A FIFO without a reader fails at once.
bool writeInPlace(const QByteArray& path, const QByteArray& data, bool truncate, QString* error) {
    const int fd = ::open(path.constData(),
                          O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (truncate ? O_TRUNC : 0));
    if (fd < 0)
        return fail(errno, error);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bool ok = writeAll(fd, data);
    int code = errno;
    if (ok && truncate && ::fsync(fd) != 0) {
        ok = false;
        code = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    return ok || fail(code, error);
}

} // namespace

bool writeFileAtomically(const QByteArray& requested, const QByteArray& data, QString* error) {
    const QByteArray path = followLinks(requested);
    struct stat existing {};
    const bool exists = ::stat(path.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return fail(EISDIR, error);
    if (exists && !S_ISREG(existing.st_mode))
        return writeInPlace(path, data, false, error);

    QByteArray temporary = folderOf(path) + "/.cropling-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        const int code = errno;
        // A folder that takes no new files may still hold a file that may be written.
        if (exists && (code == EACCES || code == EROFS || code == EPERM) && ::access(path.constData(), W_OK) == 0)
            return writeInPlace(path, data, true, error);
        return fail(code, error);
    }

    // A replaced file keeps its permissions and, where this process may, its owner; a new file
    // gets the usual mode for new files (mkstemp made it 0600).
    mode_t mode = 0;
    if (exists) {
        mode = existing.st_mode & 07777;
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void)!::fchown(fd, existing.st_uid, existing.st_gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
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
