#include "PrivateFolder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace cropling {

namespace {

// Makes a folder with mode 0700 if it is missing, then checks that it is private.
bool ensurePrivateFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateFolder(path);
}

} // namespace

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

std::optional<QByteArray> temporaryExportPath(const QByteArray& folder, const QString& exportName,
                                              const QByteArray& suffix) {
    const QByteArray name = exportName.toUtf8();
    // "." and ".." are names like any other once ".png" follows them: "..png", "...png".
    if (name.contains('/') || name.contains('\0'))
        return std::nullopt;
    return folder + '/' + name + suffix;
}

} // namespace cropling
