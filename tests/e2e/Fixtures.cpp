#include "Fixtures.h"

#include <QDir>

namespace cropling::e2e {

QString scratchFolder() {
    static QTemporaryDir dir;
    return dir.path();
}

QString writeLandscape(const QString& name, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / width, (y * 255 / height) ^ ((x / 37) & 1 ? 40 : 0), 128);
    }
    const QString path = QDir(scratchFolder()).filePath(name);
    image.save(path, "PNG");
    return path;
}

QImage decodePng(const QByteArray& bytes) {
    if (!bytes.startsWith("\x89PNG"))
        return {};
    return QImage::fromData(bytes, "PNG");
}

} // namespace cropling::e2e
