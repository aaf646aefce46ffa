#include "FileWriting.h"

#include "intake/LocalPath.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cropling {

namespace {

QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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

// Makes a folder with mode 0700 if it is missing, then checks that it is private.
bool ensurePrivateFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateFolder(path);
}

} // namespace

std::optional<QString> writeFileAtomically(const QByteArray& path, const QByteArray& data) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    QByteArray temporary = folder + "/.cropling-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return reason(errno);

    // mkstemp makes the file 0600; a saved picture gets the usual mode for new files.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), path.constData()) == 0)
        return std::nullopt;
    if (ok)
        error = errno;
    ::unlink(temporary.constData());
    return reason(error);
}

bool isPrivateFolder(const QByteArray& path) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<QByteArray> privateExportFolder() {
    QByteArray base = qgetenv("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !base.startsWith('/') || !isPrivateFolder(base)) {
        base = QFile::encodeName(QDir::tempPath()) + "/cropling-" + QByteArray::number(::getuid());
        if (!ensurePrivateFolder(base))
            return std::nullopt;
    }
    const QByteArray folder = base + "/Cropling";
    if (!ensurePrivateFolder(folder))
        return std::nullopt;
    return folder;
}

std::optional<QByteArray> temporaryExportPath(const QByteArray& folder, const QString& exportFileName) {
    const QByteArray name = exportFileName.toUtf8();
    if (name.contains('/') || name.contains('\0') || name == "." || name == "..")
        return std::nullopt;
    return folder + '/' + name;
}

} // namespace cropling
