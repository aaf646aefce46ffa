#include "BenchPhotos.h"

#include "image/shared/VipsBytes.h"
#include "image/shared/VipsRuntime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <map>

namespace cropling::bench {

using vips::VImage;

const QByteArray& photoJpeg(int megapixels) {
    static std::map<int, QByteArray> made;
    QByteArray& bytes = made[megapixels];
    if (bytes.isEmpty()) {
        ensureVipsStarted();
        const int width = int(std::sqrt(megapixels * 1e6 * 4 / 3));
        const int height = width * 3 / 4;
        const VImage xy = VImage::xyz(width, height);
        const VImage base =
            (xy[0] * (255.0 / width)).bandjoin(xy[1] * (255.0 / height)).bandjoin((xy[0] + xy[1]) * (127.0 / width));
        const VImage noise = VImage::gaussnoise(width, height, VImage::option()->set("sigma", 4.0));
        const VImage photo = (base + noise).cast(VIPS_FORMAT_UCHAR).copy(
            VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        bytes = VipsBytes::encode(photo, ".jpg", VImage::option()->set("Q", 90)).toByteArray();
    }
    return bytes;
}

QByteArray photoFile(int megapixels) {
    static QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/photo-%1mp.jpg").arg(megapixels);
    if (!QFile::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(photoJpeg(megapixels));
    }
    return QFile::encodeName(path);
}

} // namespace cropling::bench
