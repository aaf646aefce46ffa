#include "ClipboardData.h"

#include "io/LocalPath.h"

#include <QMimeData>

namespace cropling {

QMimeData* makeClipboardData(const QByteArray& png, const std::optional<QByteArray>& filePath) {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    if (filePath) {
        const QUrl url = urlFromLocalPath(*filePath);
        data->setUrls({url});
        data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    }
    return data;
}

} // namespace cropling
