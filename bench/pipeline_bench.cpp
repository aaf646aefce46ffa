// Measures the paths a large photo takes: opening it (read, decode, upright, sRGB, display
// reductions), rendering the 128-pixel emoji, and painting one frame of a drag (the 340-pixel
// square plus both preview squares). Prints the median of several runs and the peak memory.
//
//   build/bench/pipeline_bench [megapixels...]    (default: 24 50)

#include "core/CropGeometry.h"
#include "image/EmojiRenderer.h"
#include "image/Picture.h"
#include "image/VipsBytes.h"
#include "image/VipsRuntime.h"
#include "io/FileBytes.h"

#include <QImage>
#include <QPainter>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace cropling;

namespace {

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

long peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A camera-like JPEG: smooth gradients with fine noise, so it compresses like a real photo.
QByteArray photoJpeg(double megapixels) {
    const int width = int(std::sqrt(megapixels * 1e6 * 4 / 3));
    const int height = width * 3 / 4;
    vips::VImage xy = vips::VImage::xyz(width, height);
    vips::VImage base = (xy[0] * (255.0 / width)).bandjoin(xy[1] * (255.0 / height)).bandjoin((xy[0] + xy[1]) * (127.0 / width));
    vips::VImage noise = vips::VImage::gaussnoise(width, height, vips::VImage::option()->set("sigma", 12.0));
    vips::VImage photo = (base + noise).cast(VIPS_FORMAT_UCHAR).copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return VipsBytes::encode(photo, ".jpg", vips::VImage::option()->set("Q", 90)).toByteArray();
}

// The picture's part of one drag frame: for each square, the visible part of the display level
// the window would pick, drawn smoothly into a layer at device pixels.
void paintFrame(const Picture& picture, double zoom, QPointF offset, double dpr) {
    for (const double side : {340.0, 32.0, 22.0}) {
        QImage layer(int(std::ceil(side * dpr)), int(std::ceil(side * dpr)), QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(dpr);
        layer.fill(Qt::transparent);
        const QRectF placed = CropFrame(picture.nominalSize(), zoom).placement(offset, side);
        const QRectF visible = placed.intersected(QRectF(0, 0, side, side));
        const QImage& level = picture.displayLevel(placed.width() * dpr / picture.pixelWidth());
        const double sx = level.width() / placed.width(), sy = level.height() / placed.height();
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(visible, level,
                          QRectF((visible.x() - placed.x()) * sx, (visible.y() - placed.y()) * sy,
                                 visible.width() * sx, visible.height() * sy));
    }
}

} // namespace

int main(int argc, char** argv) {
    ensureVipsStarted();
    std::vector<double> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atof(argv[i]));
    if (sizes.empty())
        sizes = {24, 50};

    std::printf("%-8s %-12s %10s %12s %12s %12s %12s\n", "photo", "pixels", "open ms", "render z1 ms", "render z3 ms",
                "frame 1x ms", "frame 2x ms");
    for (const double mp : sizes) {
        const QByteArray jpeg = photoJpeg(mp);
        const QByteArray path = "/tmp/cropling-bench.jpg";
        FILE* f = std::fopen(path.constData(), "wb");
        std::fwrite(jpeg.constData(), 1, size_t(jpeg.size()), f);
        std::fclose(f);

        PicturePtr picture;
        const double open = medianMs(3, [&] {
            picture.reset();
            picture = Picture::decode(*readRegularFile(path));
        });
        const double render1 = medianMs(5, [&] { renderEmojiPNG(picture.get(), 1.0, {0, 0}, 128); });
        const double render3 = medianMs(5, [&] { renderEmojiPNG(picture.get(), 3.0, {40, -25}, 128); });
        double x = 0;
        const double frame1 = medianMs(30, [&] { paintFrame(*picture, 2.0, {x += 1, 0}, 1.0); });
        const double frame2 = medianMs(30, [&] { paintFrame(*picture, 2.0, {x -= 1, 0}, 2.0); });
        char pixels[32];
        std::snprintf(pixels, sizeof pixels, "%dx%d", picture->pixelWidth(), picture->pixelHeight());
        std::printf("%-8s %-12s %10.0f %12.0f %12.0f %12.1f %12.1f\n", (std::to_string(int(mp)) + " MP").c_str(), pixels,
                    open, render1, render3, frame1, frame2);
        std::remove(path.constData());
    }
    std::printf("peak memory: %ld MB\n", peakRssMb());
    return 0;
}
