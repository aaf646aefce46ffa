#include "ClipboardData.h"

#include "core/StatusText.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "io/PrivateFolder.h"

#include <QMimeData>
#include <QtEndian>

#include <memory>

namespace cropling {

namespace {

std::optional<QByteArray> writeTemporaryExport(const QByteArray& picture, const QString& emojiName, bool gif) {
    // The file is offered only when it was really written, in a folder no one else can touch, under
    // a name that stays inside it.
    const auto folder = privateExportFolder();
    if (!folder)
        return std::nullopt;
    const auto path = temporaryExportPath(*folder, exportName(emojiName), gif ? ".gif" : ".png");
    if (!path || !writeFileAtomically(*path, picture))
        return std::nullopt;
    return path;
}

} // namespace

QMimeData* exportClipboardData(const ExportedEmoji& emoji, const QString& emojiName) {
    return makeClipboardData(emoji.bytes, emoji.mimeType(), writeTemporaryExport(emoji.bytes, emojiName, emoji.gif));
}

QMimeData* makeClipboardData(const QByteArray& picture, const QString& mimeType, const std::optional<QByteArray>& filePath) {
    auto* data = new QMimeData;
    data->setData(mimeType, picture);
    if (filePath) {
        const QUrl url = urlFromLocalPath(*filePath);
        data->setUrls({url});
        data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    }
    return data;
}

// The hand-over is a count of formats, then for each its name and its data, every length a 32-bit
// big-endian number before its bytes. Each length is checked against what is left before anything
// is allocated, so no input can ask for more memory than it brings.
QByteArray serialiseClipboardData(const QMimeData& data) {
    QByteArray bytes;
    const auto put = [&bytes](const QByteArray& part) {
        bytes += QByteArray(4, Qt::Uninitialized);
        qToBigEndian(quint32(part.size()), reinterpret_cast<uchar*>(bytes.data() + bytes.size() - 4));
        bytes += part;
    };
    const QStringList formats = data.formats();
    bytes += QByteArray(4, Qt::Uninitialized);
    qToBigEndian(quint32(formats.size()), reinterpret_cast<uchar*>(bytes.data()));
    for (const QString& format : formats) {
        put(format.toUtf8());
        put(data.data(format));
    }
    return bytes;
}

QMimeData* deserialiseClipboardData(const QByteArray& bytes) {
    qsizetype at = 0;
    const auto number = [&](quint32* value) {
        if (bytes.size() - at < 4)
            return false;
        *value = qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(bytes.constData() + at));
        at += 4;
        return true;
    };
    const auto part = [&](QByteArray* value) {
        quint32 length = 0;
        if (!number(&length) || length > quint64(bytes.size() - at))
            return false;
        *value = bytes.mid(at, qsizetype(length));
        at += qsizetype(length);
        return true;
    };
    quint32 count = 0;
    if (!number(&count))
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    for (quint32 i = 0; i < count; ++i) {
        QByteArray format, value;
        if (!part(&format) || !part(&value))
            return nullptr;
        data->setData(QString::fromUtf8(format), value);
    }
    if (at != bytes.size() || (data->data(QStringLiteral("image/png")).isEmpty() && data->data(QStringLiteral("image/gif")).isEmpty()))
        return nullptr;
    return data.release();
}

} // namespace cropling
