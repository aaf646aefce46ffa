// In-process figures for the paths a large photo takes: the window's first look and its working
// decode, an export from the window, the scripted save's render straight from the file, and one
// frame of a drag (the 340-pixel square plus both preview squares). Photos of 24, 50 and 100 MP.
//
//   build/bench/pipeline_bench [--benchmark_filter=...]

#include "BenchPhotos.h"

#include "core/CropGeometry.h"
#include "image/DecoderSession.h"
#include "image/EmojiRenderer.h"
#include "image/Picture.h"

#include <QImage>

#include <vips/vips8>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace cropling;
using cropling::bench::photoJpeg;

namespace {

constexpr double kScreenRatio = 1.0;

void fullDecode(benchmark::State& state) {
    const QByteArray& jpeg = photoJpeg(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Picture::decode(jpeg));
}

void firstLook(benchmark::State& state) {
    const QByteArray& jpeg = photoJpeg(int(state.range(0)));
    for (auto _ : state) {
        auto picture = Picture::decodePreview(jpeg, int(std::ceil(kCropSide * kScreenRatio)));
        picture->prepareDisplay();
        benchmark::DoNotOptimize(picture);
    }
}

void workingDecode(benchmark::State& state) {
    const QByteArray& jpeg = photoJpeg(int(state.range(0)));
    for (auto _ : state) {
        auto picture = Picture::decode(jpeg, workingShorterSide(kScreenRatio));
        picture->prepareDisplay();
        benchmark::DoNotOptimize(picture);
    }
}

void exportFromWindow(benchmark::State& state) {
    const auto picture = Picture::decode(photoJpeg(int(state.range(0))), workingShorterSide(kScreenRatio));
    const double zoom = double(state.range(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(renderEmojiPNG(picture.get(), {zoom, {0, 0}}, kEmojiSide));
}

void scriptedRender(benchmark::State& state) {
    const double zoom = double(state.range(1));
    for (auto _ : state) {
        const auto picture = Picture::openForRender(photoJpeg(int(state.range(0))));
        benchmark::DoNotOptimize(renderEmojiPNG(picture.get(), {zoom, {0, 0}}, kEmojiSide));
    }
}

// What confinement costs: a helper started, shut in and answering its first render of a small
// JPEG (direct helper) or TIFF (libvips helper), with namespaces (1) or with the filter alone (0).
void helperStart(benchmark::State& state) {
    const QByteArray& jpeg = photoJpeg(24);
    const vips::VImage small =
        vips::VImage::new_from_buffer(jpeg.constData(), size_t(jpeg.size()), "shrink=8").colourspace(VIPS_INTERPRETATION_sRGB);
    size_t length = 0;
    void* bytes = nullptr;
    small.write_to_buffer(state.range(0) == 0 ? ".jpg" : ".tif", &bytes, &length);
    const QByteArray file(static_cast<const char*>(bytes), qsizetype(length));
    g_free(bytes);
    if (state.range(1) == 0)
        ::setenv("CROPLING_NO_NAMESPACES", "1", 1);
    for (auto _ : state) {
        auto session = std::make_shared<DecoderSession>();
        session->start(PictureInput::bytes(file), true);
        benchmark::DoNotOptimize(session->render({1.0, {0, 0}}, 16));
    }
    ::unsetenv("CROPLING_NO_NAMESPACES");
}

// The picture's part of one drag frame: for each square, the visible part of the display level the
// window picks, drawn smoothly into a layer at device pixels.
void dragFrame(benchmark::State& state) {
    const auto picture = Picture::decode(photoJpeg(int(state.range(0))), workingShorterSide(kScreenRatio));
    picture->prepareDisplay();
    const double dpr = double(state.range(1));
    double x = 0;
    for (auto _ : state) {
        x = x > 100 ? -100 : x + 1;
        for (const double side : {340.0, 32.0, 22.0}) {
            QImage layer(int(std::ceil(side * dpr)), int(std::ceil(side * dpr)), QImage::Format_ARGB32_Premultiplied);
            layer.setDevicePixelRatio(dpr);
            layer.fill(Qt::transparent);
            const QRectF placed = CropFrame(picture->nominalSize(), 2.0).placement({x, 0}, side);
            const QRectF visible = placed.intersected(QRectF(0, 0, side, side));
            const QImage& level = picture->displayLevel(placed.width() * dpr / picture->pixelWidth());
            const double sx = level.width() / placed.width(), sy = level.height() / placed.height();
            QPainter painter(&layer);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter.drawImage(visible, level,
                              QRectF((visible.x() - placed.x()) * sx, (visible.y() - placed.y()) * sy,
                                     visible.width() * sx, visible.height() * sy));
        }
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(fullDecode)->Arg(24)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(firstLook)->Arg(24)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(workingDecode)->Arg(24)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(exportFromWindow)->ArgsProduct({{24, 50, 100}, {1, 3}})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(scriptedRender)->ArgsProduct({{24, 50, 100}, {1, 3}})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(dragFrame)->ArgsProduct({{24, 100}, {1, 2}})->Unit(benchmark::kMillisecond)->Iterations(30);

BENCHMARK(helperStart)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(40);

BENCHMARK_MAIN();
