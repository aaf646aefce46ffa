#include "FileWriting.h"

#include "io/TemporaryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

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

bool isSameFile(const QByteArray& a, const QByteArray& b) {
    struct stat first {}, second {};
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
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
bool writeInPlace(const QByteArray& path, const QByteArray& data, bool regular, QString* error) {
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == ENXIO) {
        // A FIFO that no program reads from: waiting for one could take for ever.
        if (error)
            *error = QStringLiteral("no program is reading from it");
        return false;
    }
    if (fd < 0)
        return fail(errno, error);
    // The name may have been given to a regular file since it was looked at: then it is cut to
    // the new data's length as a regular file is, never left with an old tail.
    struct stat opened {};
    if (!regular && ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode))
        regular = true;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A regular file is cut to its new length only once the new data is all there, and that space
    // is reserved before a byte of the old file is overwritten.
    int reserved = regular ? ::posix_fallocate(fd, 0, off_t(std::max<qsizetype>(data.size(), 1))) : 0;
    if (reserved != 0) {
        ::close(fd);
        return fail(reserved, error);
    }
    bool ok = writeAll(fd, data);
    int code = errno;
    if (ok && regular && (::ftruncate(fd, off_t(data.size())) != 0 || ::fsync(fd) != 0)) {
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

namespace {

// A name for the finished file before it is renamed over the target: random, so that writers in
// the same folder never meet.
QByteArray temporaryName(const QByteArray& folder) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return folder + "/.cropling-" + QByteArray::number(qulonglong(random()), 36);
}

// The data in a file of the target's folder, with the given mode, named `*named` only once it is
// all written and synced. An unnamed file (O_TMPFILE) leaves nothing behind if the process dies
// meanwhile; where the file system has none, a named file is removed on the usual signals.
bool writeNamed(const QByteArray& folder, const QByteArray& data, mode_t mode, const struct stat* owner,
                const QByteArray& target, QByteArray* named, int* code) {
    int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    const bool unnamed = fd >= 0;
    if (!unnamed) {
        *named = temporaryName(folder);
        rememberTemporary(*named);
        fd = ::open(named->constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            *code = errno;
            forgetTemporary(*named);
            return false;
        }
    }
    if (owner && (owner->st_uid != ::geteuid() || owner->st_gid != ::getegid()))
        (void)!::fchown(fd, owner->st_uid, owner->st_gid);
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    *code = errno;
    if (ok && unnamed) {
        // Named at last, through /proc, which needs no privilege, unlike AT_EMPTY_PATH: a new file
        // straight under its own name, so it appears whole or not at all; one that replaces a file
        // under a passing name first, to be renamed over it.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        const bool direct = !owner && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0;
        if (direct) {
            *named = target;
        } else {
            *named = temporaryName(folder);
            rememberTemporary(*named);
            ok = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, named->constData(), AT_SYMLINK_FOLLOW) == 0;
            *code = errno;
            if (!ok)
                forgetTemporary(*named);
        }
    }
    const bool linked = ok; // for an unnamed file: given a name, which a failure now takes back
    if (::close(fd) != 0 && ok) {
        ok = false;
        *code = errno;
    }
    if (!ok && (!unnamed || linked)) {
        ::unlink(named->constData());
        forgetTemporary(*named);
    }
    return ok;
}

} // namespace

bool writeFileAtomically(const QByteArray& requested, const QByteArray& data, QString* error, AtTarget target) {
    // What is not a regular file is written in place through the name as given, the kernel
    // following its links: /dev/stdout onto a pipe is a link that names no path to follow by hand.
    struct stat given {};
    if (target == AtTarget::FollowLinks && ::stat(requested.constData(), &given) == 0 && !S_ISREG(given.st_mode) &&
        !S_ISDIR(given.st_mode))
        return writeInPlace(requested, data, false, error);
    const QByteArray path = target == AtTarget::FollowLinks ? followLinks(requested) : requested;
    struct stat existing {};
    bool exists = ::stat(path.constData(), &existing) == 0;
    if (target == AtTarget::ReplaceAnyLink) {
        // Only what is at this very name counts: a link is a name to replace, whatever it points at.
        exists = ::lstat(path.constData(), &existing) == 0;
        if (exists && S_ISLNK(existing.st_mode))
            exists = false;
        else if (exists && !S_ISREG(existing.st_mode))
            return fail(S_ISDIR(existing.st_mode) ? EISDIR : EEXIST, error);
    }
    if (exists && S_ISDIR(existing.st_mode))
        return fail(EISDIR, error);
    if (exists && !S_ISREG(existing.st_mode))
        return writeInPlace(path, data, false, error);

    // A replaced file keeps its permissions and, where this process may, its owner; a new file
    // gets the usual mode for new files.
    mode_t mode = 0;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    QByteArray named;
    int code = 0;
    if (!writeNamed(folderOf(path), data, mode, exists ? &existing : nullptr, path, &named, &code)) {
        // A folder that takes no new files may still hold a file that may be written.
        if (exists && (code == EACCES || code == EROFS || code == EPERM) && ::access(path.constData(), W_OK) == 0)
            return writeInPlace(path, data, true, error);
        return fail(code, error);
    }
    if (named == path)
        return true;
    const bool renamed = ::rename(named.constData(), path.constData()) == 0;
    code = errno;
    if (!renamed)
        ::unlink(named.constData());
    forgetTemporary(named);
    return renamed || fail(code, error);
}

} // namespace cropling
