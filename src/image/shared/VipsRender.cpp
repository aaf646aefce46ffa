#include "VipsRender.h"

#include "core/Animation.h"
#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "image/decoding/Decoding.h"
#include "gif/GifEncoder.h"
#include "image/shared/SquareRender.h"
#include "image/Picture.h"
#include "image/shared/Resampler.h"
#include "image/shared/VipsBytes.h"

#include <QElapsedTimer>

#include <vips/vips8>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cmath>

namespace cropling {

using vips::VImage;

namespace {

// The resampled square as an RGBA PNG; an opaque source is opaque everywhere. zlib's default level:
// the strongest costs tens of milliseconds on smooth pictures for files some ten per cent smaller.
QByteArray encodePng(VImage canvas) {
    if (canvas.bands() == 3)
        canvas = canvas.bandjoin_const({255});
    canvas = canvas.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return VipsBytes::encode(canvas, ".png", VImage::option()->set("strip", true)->set("compression", 6))
        .toByteArray();
}

// The resampled picture on the n x n canvas: as it is when it fills it, otherwise in its place with
// a transparent margin around it.
VImage onCanvas(VImage picture, const QRect& canvas, int n) {
    if (canvas == QRect(0, 0, n, n))
        return picture;
    if (picture.bands() == 3)
        picture = picture.bandjoin_const({255});
    return picture.embed(canvas.x(), canvas.y(), n, n, VImage::option()->set("extend", VIPS_EXTEND_BLACK));
}

} // namespace

// The part the square shows is found in upright coordinates and mapped into the stored
// orientation; only that part is decoded, at the largest reduction that still leaves the Lanczos
// filter three source pixels per emoji pixel. The square result is turned upright at the end,
// which gives the same pixels as turning first, since the filter treats both axes alike.
std::optional<QByteArray> renderOpenedPng(const QByteArray& encoded, int orientation, const Framing& framing,
                                          int outputSize, std::optional<OpenFailure>* failure) {
    failure->reset();
    QElapsedTimer clock;
    clock.start();
    OpenFailure why;
    const auto header = decoding::readHeader(encoded, true, &why); // kept by Picture::openForRender after its preflight
    if (!header) {
        *failure = why;
        return std::nullopt;
    }
    const auto square = storedSquare(header->stored, orientation, framing.zoom, framing.offset, outputSize);
    if (!square)
        return std::nullopt;
    const QRect& stored = square->stored;
    const QSize& storedCanvas = square->storedCanvas;
    const int needed = square->shorterSide;
    for (const bool useProfile : {true, false}) {
        if (!useProfile && !header->hasProfile)
            break;
        try {
            const VImage reduced = decoding::loadReduced(*header, needed);
            const QRectF window = scaledRect(stored, header->stored, QSize(reduced.width(), reduced.height()));
            // Only the rows and columns the filter reads are decoded, within the decode deadline.
            const QRect part = windowPixels(window, QSize(reduced.width(), reduced.height()));
            const VImage cut = decoding::cropInOrder(decoding::toSrgb8(reduced, useProfile), part);
            const VImage resampled =
                resampleWindow(cut, window.translated(-part.topLeft()), storedCanvas.width(), storedCanvas.height());
            return encodePng(onCanvas(decoding::turnUpright(resampled, orientation), square->canvas, outputSize));
        } catch (const vips::VError& error) {
            decoding::noteFailure(error);
            vips_error_clear();
        }
    }
    *failure = decoding::failureAfter(clock.elapsed());
    return std::nullopt;
}

std::optional<QByteArray> renderPicturePng(const Picture& picture, const Framing& framing, int outputSize,
                                           std::optional<OpenFailure>* failure) {
    failure->reset();
    try {
        const auto square = renderSquare(picture.pixels(), picture.fullSize(), framing, outputSize);
        return square ? std::optional(encodePng(*square)) : std::nullopt;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<RgbaFrames> renderPictureFrames(const Picture& picture, const Framing& framing, int outputSize, int maxFrames) {
    // Of a long animation, only the frames the export can keep are rendered, as a helper does.
    const FrameRuns runs = picture.frameCount() > 1 ? framesToRender(picture.frameDelays(), maxFrames, outputSize)
                                                    : FrameRuns{{0}, picture.frameDelays()};
    const size_t frameBytes = size_t(outputSize) * size_t(outputSize) * 4;
    auto* memory = static_cast<std::uint8_t*>(std::malloc(frameBytes * runs.shown.size()));
    if (!memory)
        return std::nullopt;
    RgbaFrames frames;
    frames.memory = std::shared_ptr<void>(memory, std::free);
    frames.size = QSize(outputSize, outputSize);
    try {
        for (size_t i = 0; i < runs.shown.size(); ++i) {
            const Picture& frame = picture.frame(runs.shown[i]);
            const auto square = renderSquare(frame.pixels(), frame.fullSize(), framing, outputSize);
            if (!square)
                return std::nullopt;
            std::uint8_t* at = memory + frameBytes * i;
            std::memcpy(at, square->copy_memory().data(), frameBytes);
            frames.frames.push_back(at);
        }
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
    frames.delaysMs = runs.delaysMs;
    frames.loop = picture.loopCount();
    frames.sourceFrames = picture.frameCount();
    return frames;
}

std::optional<RgbaFrames> frameOfPng(const QByteArray& png) {
    try {
        const VImage square = VImage::new_from_buffer(png.constData(), size_t(png.size()), "");
        if (square.bands() != 4 || square.format() != VIPS_FORMAT_UCHAR)
            return std::nullopt;
        const size_t bytes = size_t(square.width()) * size_t(square.height()) * 4;
        auto* memory = static_cast<std::uint8_t*>(std::malloc(bytes));
        if (!memory)
            return std::nullopt;
        std::memcpy(memory, square.copy_memory().data(), bytes);
        RgbaFrames frames;
        frames.memory = std::shared_ptr<void>(memory, std::free);
        frames.frames = {memory};
        frames.size = QSize(square.width(), square.height());
        frames.delaysMs = {0};
        return frames;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<VImage> renderSquare(const VImage& pixels, QSize full, const Framing& framing, int n) {
    // The square's pixels are found at full resolution and scaled onto the decoded bitmap, so a
    // reduced bitmap renders the same part of the picture as the full one would.
    const auto source = emojiSourcePixels(full.width(), full.height(), framing.zoom, framing.offset);
    const auto canvas = emojiCanvasRect(full.width(), full.height(), framing.zoom, framing.offset, n);
    if (!source || !canvas)
        return std::nullopt;
    const QRectF window = scaledRect(*source, full, QSize(pixels.width(), pixels.height()));
    VImage square = onCanvas(resampleWindow(pixels, window, canvas->width(), canvas->height()), *canvas, n);
    return square.bands() == 3 ? square.bandjoin_const({255}) : square;
}

int squareSourceSide(QSize full, const Framing& framing, int n) {
    const auto source = emojiSourcePixels(full.width(), full.height(), framing.zoom, framing.offset);
    if (!source)
        return 0;
    const int shorter = std::min(full.width(), full.height());
    const int cropShorter = std::max(1, std::min(source->width(), source->height()));
    return int(std::ceil(double(shorter) * 3 * n / cropShorter));
}

} // namespace cropling
