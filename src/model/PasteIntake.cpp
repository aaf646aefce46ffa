#include "PasteIntake.h"

#include "io/LocalPath.h"

#include <QImage>
#include <QMimeData>
#include <QMimeDatabase>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cropling {

namespace {

const QString kGnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");

// A paste looks at no more file locations than this, however many are offered.
constexpr qsizetype kMaxOfferedFiles = 256;

// The first bytes of a regular file; nothing for FIFOs, devices and everything else.
QByteArray fileHead(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {};
    }
    QByteArray head(4096, Qt::Uninitialized);
    const ssize_t n = ::read(fd, head.data(), size_t(head.size()));
    ::close(fd);
    head.resize(n > 0 ? n : 0);
    return head;
}

// Image formats first by preference, then whatever other image type the source offers. A GIF comes
// first: where one is offered beside a PNG, the PNG is usually its first frame.
QStringList imageFormatsOf(const QMimeData* data) {
    QStringList formats;
    for (const QString& preferred : {QStringLiteral("image/gif"), QStringLiteral("image/png"), QStringLiteral("image/jpeg")}) {
        if (data->hasFormat(preferred))
            formats << preferred;
    }
    for (const QString& format : data->formats()) {
        if (format.startsWith(QLatin1String("image/")) && !formats.contains(format))
            formats << format;
    }
    return formats;
}

} // namespace

QList<QUrl> offeredFileUrls(const QMimeData* data) {
    QList<QUrl> urls;
    if (!data)
        return urls;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            urls << url;
    }
    if (urls.isEmpty() && data->hasFormat(kGnomeCopiedFiles)) {
        // "copy" or "cut" on the first line, then one URI per line.
        const QList<QByteArray> lines = data->data(kGnomeCopiedFiles).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QUrl url = QUrl::fromEncoded(lines[i].trimmed());
            if (url.isLocalFile())
                urls << url;
        }
    }
    return urls;
}

bool isImageFile(const QUrl& url) {
    const QByteArray path = localPathBytes(url);
    static const QMimeDatabase database;
    const QMimeType type =
        database.mimeTypeForFileNameAndData(displayName(lastPathComponent(path)), fileHead(path));
    return type.name().startsWith(QLatin1String("image/"));
}

PasteChoice choosePaste(const QMimeData* data) {
    PasteChoice choice;
    if (!data)
        return choice;
    for (const QUrl& url : offeredFileUrls(data)) {
        if (isImageFile(url)) {
            choice.fileUrl = url;
            return choice;
        }
    }
    for (const QString& format : imageFormatsOf(data)) {
        const QByteArray bytes = data->data(format);
        // Judged by its first bytes only: no decoder of this process reads data from elsewhere.
        static const QMimeDatabase database;
        if (database.mimeTypeForData(bytes).name().startsWith(QLatin1String("image/"))) {
            choice.encoded = bytes;
            return choice;
        }
    }
    if (data->hasImage())
        choice.image = qvariant_cast<QImage>(data->imageData());
    return choice;
}

std::optional<QUrl> firstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url;
    }
    return std::nullopt;
}

} // namespace cropling
