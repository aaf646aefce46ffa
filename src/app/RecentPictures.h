#pragma once

// The desktop's shared list of recently used files (the freedesktop recently-used.xbel that GTK
// and KDE programs read and write): the pictures Cropling opened, newest first, and a picture added
// as Cropling's when it opens. Other programs' entries are kept as they are; a list that cannot be
// read is left alone rather than replaced.

#include <QList>
#include <QString>
#include <QUrl>

namespace cropling {

class RecentPictures {
public:
    // The list at its usual place ($XDG_DATA_HOME/recently-used.xbel), or at `path`.
    explicit RecentPictures(QString path = defaultPath());
    static QString defaultPath();

    // Cropling's pictures that are still there, newest first.
    QList<QUrl> pictures(int most = 10) const;
    // Records that Cropling opened this local file; false when the list could not be written.
    bool add(const QUrl& picture, const QString& mimeType) const;

    // Lists above this size are not read or rewritten.
    static constexpr qint64 kMaxBytes = 8 << 20;

private:
    QString path_;
};

} // namespace cropling
