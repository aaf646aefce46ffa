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

std::optional<FileIdentity> identityOf(const QByteArray& path) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

AtTarget targetAsNamed(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode) ? AtTarget::FollowLinks : AtTarget::NamedNoLink;
}

bool isSameFile(const QByteArray& a, const QByteArray& b) {
    const auto first = identityOf(a);
    return first && first == identityOf(b);
}

namespace {

WriteResult fail(int code, QString* error) {
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
    return WriteResult::Failed;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

bool isKept(const struct stat& info, const std::vector<FileIdentity>& keep) {
    return std::find(keep.begin(), keep.end(), FileIdentity{info.st_dev, info.st_ino}) != keep.end();
}

// The kernel's rule for links in shared folders (fs.protected_symlinks): in a sticky folder that
// anyone may write to, a link is followed only when it belongs to the follower or to the folder's
// owner. Following links by hand keeps to it, or another user's planted link would lead a write
// anywhere this user may write.
bool mayFollow(const QByteArray& link, const struct stat& info) {
    struct stat folder {};
    if (::stat(folderOf(link).constData(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || info.st_uid == ::geteuid() || info.st_uid == folder.st_uid;
}

// A link is followed to the file it names, so that file is replaced and the link stays a link.
// Nothing when a link may not be followed.
std::optional<QByteArray> followLinks(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        if (!mayFollow(path, info))
            return std::nullopt;
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
// What was opened is compared with the files to keep before a byte is written.
WriteResult writeInPlace(int folder, const QByteArray& name, const QByteArray& data, bool regular,
                         const std::vector<FileIdentity>& keep, QString* error, bool followLink = true) {
    const int fd = ::openat(folder, name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0 && errno == ENXIO) {
        // A FIFO that no program reads from: waiting for one could take for ever.
        if (error)
            *error = QStringLiteral("no program is reading from it");
        return WriteResult::Failed;
    }
    if (fd < 0)
        return fail(errno, error);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || isKept(opened, keep)) {
        ::close(fd);
        return WriteResult::WouldReplaceKept;
    }
    // The name may have been given to a regular file since it was looked at: then it is cut to
    // the new data's length as a regular file is, never left with an old tail.
    if (S_ISREG(opened.st_mode))
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
    return ok ? WriteResult::Written : fail(code, error);
}

// A name for the finished file before it is renamed over the target: random, so that writers in
// the same folder never meet.
QByteArray temporaryName() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return ".cropling-" + QByteArray::number(qulonglong(random()), 36);
}

} // namespace

namespace {

// Where the finished data goes in the target's folder (an open descriptor), with the given mode.
struct NamedWrite {
    int folder = -1;
    QByteArray folderPath; // as given, for the names remembered while a named file exists
    QByteArray target;     // the name in the folder
    mode_t mode = 0;
    const struct stat* owner = nullptr; // the file replaced, if any
    const std::vector<FileIdentity>* keep = nullptr;
};

// Whether what now bears the target's name is a file to keep: looked at again just before the
// new file takes the name, since a link or file may have been put there meanwhile.
bool targetIsKept(const NamedWrite& write) {
    struct stat now {};
    return ::fstatat(write.folder, write.target.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(now.st_mode) &&
           isKept(now, *write.keep);
}

// The data in a file of the folder, named `*named` only once it is all written and synced. An
// unnamed file (O_TMPFILE) leaves nothing behind if the process dies meanwhile; where the file
// system has none, or a file is replaced, the passing name is remembered so that it is removed on
// the usual signals or, after a kill, on the next start.
WriteResult writeNamed(const NamedWrite& write, const QByteArray& data, QByteArray* named, int* code) {
    int fd = ::openat(write.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    const bool unnamed = fd >= 0;
    const auto remember = [&](const QByteArray& name) { rememberTemporary(write.folderPath + '/' + name); };
    const auto forget = [&](const QByteArray& name) { forgetTemporary(write.folderPath + '/' + name); };
    if (!unnamed) {
        *named = temporaryName();
        remember(*named);
        fd = ::openat(write.folder, named->constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            *code = errno;
            forget(*named);
            return WriteResult::Failed;
        }
    }
    const struct stat* owner = write.owner;
    if (owner && (owner->st_uid != ::geteuid() || owner->st_gid != ::getegid()))
        (void)!::fchown(fd, owner->st_uid, owner->st_gid);
    bool ok = ::fchmod(fd, write.mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    *code = errno;
    const bool kept = ok && targetIsKept(write);
    ok = ok && !kept;
    if (ok && unnamed) {
        // Named at last, through /proc, which needs no privilege, unlike AT_EMPTY_PATH: a new file
        // straight under its own name, so it appears whole or not at all; one that replaces a file
        // under a passing name first, to be renamed over it.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        const bool direct =
            !owner && ::linkat(AT_FDCWD, self.constData(), write.folder, write.target.constData(), AT_SYMLINK_FOLLOW) == 0;
        if (direct) {
            *named = write.target;
        } else {
            *named = temporaryName();
            remember(*named);
            ok = ::linkat(AT_FDCWD, self.constData(), write.folder, named->constData(), AT_SYMLINK_FOLLOW) == 0;
            *code = errno;
            if (!ok)
                forget(*named);
        }
    }
    const bool linked = ok; // for an unnamed file: given a name, which a failure now takes back
    if (::close(fd) != 0 && ok) {
        ok = false;
        *code = errno;
    }
    if (!ok && (!unnamed || linked)) {
        ::unlinkat(write.folder, named->constData(), 0);
        forget(*named);
    }
    return ok ? WriteResult::Written : kept ? WriteResult::WouldReplaceKept : WriteResult::Failed;
}

// The write once the folder is open: what is at the name decides how.
WriteResult writeInFolder(NamedWrite write, const QByteArray& data, AtTarget target, QString* error) {
    struct stat existing {};
    bool exists = ::fstatat(write.folder, write.target.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    // Only what is at this very name counts: a link is a name to replace, whatever it points at.
    // (Links the user named were followed before the folder was opened; one that has appeared
    // since is replaced, never followed.)
    if (exists && S_ISLNK(existing.st_mode))
        exists = false;
    if (exists && isKept(existing, *write.keep))
        return WriteResult::WouldReplaceKept;
    if (exists && S_ISDIR(existing.st_mode))
        return fail(EISDIR, error);
    if (exists && !S_ISREG(existing.st_mode)) {
        if (target == AtTarget::ReplaceAnyLink)
            return fail(EEXIST, error);
        return writeInPlace(write.folder, write.target, data, false, *write.keep, error, false);
    }
    // A replaced file keeps its permissions and, where this process may, its owner; a new file
    // gets the usual mode for new files.
    if (exists) {
        write.mode = existing.st_mode & 07777;
        write.owner = &existing;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        write.mode = 0666 & ~mask;
    }
    QByteArray named;
    int code = 0;
    const WriteResult result = writeNamed(write, data, &named, &code);
    if (result == WriteResult::WouldReplaceKept)
        return result;
    if (result != WriteResult::Written) {
        // A folder that takes no new files may still hold a file that may be written.
        if (exists && (code == EACCES || code == EROFS || code == EPERM) &&
            ::faccessat(write.folder, write.target.constData(), W_OK, AT_SYMLINK_NOFOLLOW) == 0)
            return writeInPlace(write.folder, write.target, data, true, *write.keep, error, false);
        return fail(code, error);
    }
    if (named == write.target)
        return WriteResult::Written;
    const bool kept = targetIsKept(write);
    const bool renamed = !kept && ::renameat(write.folder, named.constData(), write.folder, write.target.constData()) == 0;
    code = errno;
    if (!renamed)
        ::unlinkat(write.folder, named.constData(), 0);
    forgetTemporary(write.folderPath + '/' + named);
    return renamed ? WriteResult::Written : kept ? WriteResult::WouldReplaceKept : fail(code, error);
}

} // namespace

WriteResult writeFile(const QByteArray& requested, const QByteArray& data, QString* error, AtTarget target,
                      const std::vector<FileIdentity>& keep) {
    // What is not a regular file is written in place through the name as given, the kernel
    // following its links: /dev/stdout onto a pipe is a link that names no path to follow by hand.
    struct stat given {};
    if (target == AtTarget::FollowLinks && ::stat(requested.constData(), &given) == 0 && !S_ISREG(given.st_mode) &&
        !S_ISDIR(given.st_mode))
        return writeInPlace(AT_FDCWD, requested, data, false, keep, error);
    // A name that was no link when given: whatever bears it now is not followed.
    const std::optional<QByteArray> path = target == AtTarget::FollowLinks ? followLinks(requested) : requested;
    if (!path)
        return fail(EACCES, error);
    NamedWrite write;
    write.folderPath = folderOf(*path);
    write.target = nameOf(*path);
    write.keep = &keep;
    if (write.target.isEmpty() || write.target == "." || write.target == "..")
        return fail(EISDIR, error);
    write.folder = ::open(write.folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (write.folder < 0)
        return fail(errno, error);
    const WriteResult result = writeInFolder(write, data, target, error);
    ::close(write.folder);
    return result;
}

} // namespace cropling
