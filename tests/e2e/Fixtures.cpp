#include "Fixtures.h"

#include <QDir>

#include <cstdlib>

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

double meanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGBA8888), y = b.convertToFormat(QImage::Format_RGBA8888);
    double total = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i)
            total += std::abs(int(p[i]) - int(q[i]));
    }
    return total / (double(x.width()) * x.height() * 4);
}

} // namespace cropling::e2e
