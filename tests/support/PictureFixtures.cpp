#include "PictureFixtures.h"

#include "image/shared/VipsBytes.h"
#include "image/shared/VipsRuntime.h"

#include <QTemporaryDir>

#include <cmath>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace cropling::test {

using vips::VImage;

VImage makeImage(int width, int height, int bands, const std::function<int(int, int, int)>& value) {
    ensureVipsStarted();
    // vips takes ownership of this buffer; a vector would be freed under the image's feet.
    const size_t size = size_t(width * height * bands);
    auto* pixels = static_cast<unsigned char*>(g_malloc(size));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int b = 0; b < bands; ++b)
                pixels[size_t((y * width + x) * bands + b)] = static_cast<unsigned char>(value(x, y, b));
    VImage image = VImage::new_from_memory_steal(pixels, size, width, height, bands, VIPS_FORMAT_UCHAR);
    const auto interpretation = bands < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
    return image.copy(VImage::option()->set("interpretation", interpretation));
}

std::shared_ptr<const Picture> makePicture(const VImage& image) { return Picture::fromPixels(image); }

QByteArray encode(const VImage& image, const char* suffix, vips::VOption* options) {
    return VipsBytes::encode(image, suffix, options).toByteArray();
}

Rgba decodePng(const QByteArray& png) {
    ensureVipsStarted();
    const VImage image = VImage::new_from_buffer(png.constData(), size_t(png.size()), "");
    Rgba out;
    out.width = image.width();
    out.height = image.height();
    out.bands = image.bands();
    const VipsBytes pixels = VipsBytes::pixelsOf(image);
    out.data.assign(pixels.data(), pixels.data() + pixels.size());
    return out;
}

double psnr(const QByteArray& a, const QByteArray& b) {
    const Rgba x = decodePng(a), y = decodePng(b);
    double squares = 0;
    for (size_t i = 0; i < x.data.size(); ++i) {
        const double d = double(x.data[i]) - double(y.data[i]);
        squares += d * d;
    }
    const double mse = squares / double(x.data.size());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

VImage cameraLike(int width, int height) {
    const VImage xy = VImage::xyz(width, height);
    const VImage base = (xy[0] * (255.0 / width)).bandjoin(xy[1] * (255.0 / height)).bandjoin((xy[0] + xy[1]) * (127.0 / width));
    const VImage noise = VImage::gaussnoise(width, height, VImage::option()->set("sigma", 4.0));
    return (base + noise).cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

QByteArray readFile(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray tempFolder() {
    static QTemporaryDir dir;
    return QFile::encodeName(dir.path());
}

QByteArray writeTempFile(const QByteArray& name, const QByteArray& bytes) {
    const QByteArray path = tempFolder() + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0) << path.constData();
    EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
    return path;
}

QByteArray writePictureFile(const QByteArray& name) {
    return writeTempFile(name, encode(makeImage(80, 60, 3, [](int, int, int b) { return b * 100; }), ".png"));
}

} // namespace cropling::test
