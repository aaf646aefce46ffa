#include "RecentPictures.h"

#include "io/FileWriting.h"

#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <mutex>

namespace cropling {

namespace {

const QString kApplication = QStringLiteral("Cropling");

QString now() { return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz000Z")); }

// Cropling's entry among a bookmark's applications, or a null element.
QDomElement ourApplication(const QDomElement& bookmark) {
    const QDomNodeList apps = bookmark.elementsByTagName(QStringLiteral("bookmark:application"));
    for (int i = 0; i < apps.size(); ++i) {
        const QDomElement app = apps.at(i).toElement();
        if (app.attribute(QStringLiteral("name")) == kApplication)
            return app;
    }
    return {};
}

// The list as a document, or nothing when it exists but cannot be read as one.
std::optional<QDomDocument> load(const QString& path) {
    QDomDocument document;
    QFile file(path);
    if (!file.exists()) {
        document.setContent(QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\" "
            "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
            "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"/>"));
        return document;
    }
    if (file.size() > RecentPictures::kMaxBytes || !file.open(QIODevice::ReadOnly) || !document.setContent(&file) ||
        document.documentElement().tagName() != QLatin1String("xbel"))
        return std::nullopt;
    return document;
}

} // namespace

RecentPictures::RecentPictures(QString path) : path_(std::move(path)) {}

QString RecentPictures::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/recently-used.xbel");
}

QList<QUrl> RecentPictures::pictures(int most) const {
    const auto document = load(path_);
    if (!document)
        return {};
    QList<std::pair<QString, QUrl>> found;
    const QDomNodeList bookmarks = document->documentElement().elementsByTagName(QStringLiteral("bookmark"));
    // From the end: of two entries of the same time, the one written later comes first.
    for (int i = bookmarks.size() - 1; i >= 0; --i) {
        const QDomElement bookmark = bookmarks.at(i).toElement();
        const QDomElement app = ourApplication(bookmark);
        const QUrl url(bookmark.attribute(QStringLiteral("href")));
        if (!app.isNull() && url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            found.append({app.attribute(QStringLiteral("modified")), url});
    }
    // ISO 8601 times in UTC sort as text.
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<QUrl> newest;
    for (const auto& [when, url] : found) {
        if (newest.size() == most)
            break;
        newest << url;
    }
    return newest;
}

bool RecentPictures::add(const QUrl& picture, const QString& mimeType) const {
    if (!picture.isLocalFile())
        return false;
    // Windows add from their own workers: one read-change-write at a time, so none is lost.
    static std::mutex writing;
    const std::lock_guard lock(writing);
    auto document = load(path_);
    if (!document)
        return false;
    const QString href = QString::fromLatin1(picture.toEncoded());
    const QString time = now();
    QDomElement root = document->documentElement();
    QDomElement bookmark;
    const QDomNodeList bookmarks = root.elementsByTagName(QStringLiteral("bookmark"));
    for (int i = 0; i < bookmarks.size() && bookmark.isNull(); ++i) {
        if (bookmarks.at(i).toElement().attribute(QStringLiteral("href")) == href)
            bookmark = bookmarks.at(i).toElement();
    }
    if (bookmark.isNull()) {
        bookmark = document->createElement(QStringLiteral("bookmark"));
        bookmark.setAttribute(QStringLiteral("href"), href);
        bookmark.setAttribute(QStringLiteral("added"), time);
        QDomElement info = document->createElement(QStringLiteral("info"));
        QDomElement metadata = document->createElement(QStringLiteral("metadata"));
        metadata.setAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
        QDomElement mime = document->createElement(QStringLiteral("mime:mime-type"));
        mime.setAttribute(QStringLiteral("type"), mimeType);
        metadata.appendChild(mime);
        metadata.appendChild(document->createElement(QStringLiteral("bookmark:applications")));
        info.appendChild(metadata);
        bookmark.appendChild(info);
        root.appendChild(bookmark);
    }
    bookmark.setAttribute(QStringLiteral("modified"), time);
    bookmark.setAttribute(QStringLiteral("visited"), time);
    root.appendChild(bookmark); // the newest entry last
    QDomElement app = ourApplication(bookmark);
    if (app.isNull()) {
        QDomNodeList lists = bookmark.elementsByTagName(QStringLiteral("bookmark:applications"));
        if (lists.isEmpty())
            return false; // another program's entry of a shape we do not know: left alone
        app = document->createElement(QStringLiteral("bookmark:application"));
        app.setAttribute(QStringLiteral("name"), kApplication);
        app.setAttribute(QStringLiteral("exec"), QStringLiteral("'cropling %u'"));
        app.setAttribute(QStringLiteral("count"), 0);
        lists.at(0).appendChild(app);
    }
    app.setAttribute(QStringLiteral("modified"), time);
    app.setAttribute(QStringLiteral("count"), app.attribute(QStringLiteral("count")).toInt() + 1);
    QDir().mkpath(QFileInfo(path_).absolutePath());
    return writeFileAtomically(QFile::encodeName(path_), document->toByteArray(2));
}

} // namespace cropling
