#include "FrameReader.h"

#include "core/Animation.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace cropling::decoding {

using vips::VImage;

namespace {

bool animates(const std::string& loader) {
    return loader == "VipsForeignLoadNsgifBuffer" || loader == "VipsForeignLoadWebpBuffer";
}

// Every page of the file, as one tall image read from the top down.
VImage allPages(const Header& header, vips::VOption* options = VImage::option()) {
    return VImage::new_from_buffer(header.encoded.constData(), size_t(header.encoded.size()), "",
                                   options->set("n", -1));
}

// Frames kept at their size are computed this many bytes at a time.
constexpr size_t kFrameBatchBytes = size_t(16) << 20;

} // namespace

bool isAnimated(const Header& header) { return animates(header.loader) && header.pages > 1; }

std::optional<Timing> readTiming(const Header& header, OpenFailure* why) {
    *why = OpenFailure::TooManyFrames;
    if (header.pages > kMaxFrames)
        return std::nullopt;
    Timing timing;
    try {
        const VImage pages = allPages(header);
        if (pages.get_typeof("delay") != 0)
            timing.delaysMs = pages.get_array_int("delay");
        if (pages.get_typeof("loop") != 0)
            timing.loop = std::clamp(pages.get_int("loop"), 0, 65536);
    } catch (const vips::VError&) {
        vips_error_clear();
        *why = OpenFailure::Damaged;
        return std::nullopt;
    }
    // A frame without a delay of its own shows as long as one whose delay says "at once".
    timing.delaysMs.resize(size_t(header.pages), 0);
    for (int& delay : timing.delaysMs)
        delay = std::clamp(delay, 0, kMaxAnimationMs);
    if (animationDuration(timing.delaysMs) > kMaxAnimationMs)
        return std::nullopt;
    return timing;
}

QSize frameSize(const Header& header, int frames, int minShorterSide) {
    const double w = header.stored.width(), h = header.stored.height();
    double scale = minShorterSide > 0 ? std::min(1.0, minShorterSide / std::min(w, h)) : 1.0;
    scale = std::min(scale, std::sqrt(double(kMaxAnimationBytes) / (4.0 * w * h * std::max(frames, 1))));
    // Rounded down, so the frames together never exceed the bound.
    const QSize stored(std::max(1, int(w * scale + 1e-6)), std::max(1, int(h * scale + 1e-6)));
    return header.orientation >= 5 ? stored.transposed() : stored;
}

void readFrames(const Header& header, int frames, QSize upright, const std::function<void(const VImage&)>& take) {
    QElapsedTimer clock;
    clock.start();
    const VImage pages = allPages(
        header, VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
    const int width = header.stored.width(), height = header.stored.height();
    if (pages.width() != width || pages.height() != height * frames)
        throw vips::VError("the frames are not the size of the first");
    const QSize target = header.orientation >= 5 ? upright.transposed() : upright;
    const auto checkTime = [&clock] {
        if (clock.elapsed() > qint64(kDecodeSeconds * 1000))
            throw vips::VError("took too long");
    };
    const auto rgba = [&](const VImage& rows) {
        VImage converted = toSrgb8(rows, header.hasProfile);
        return converted.bands() == 3 ? converted.bandjoin_const({255}) : converted;
    };
    if (target == header.stored && header.orientation <= 1) {
        // Frames kept at their size are computed several at a time, and each handed on where it
        // lies: every computation wakes libvips' threads, which for a long animation of small
        // frames cost more than the decoding.
        const size_t frameBytes = size_t(width) * size_t(height) * 4;
        const int batch = int(std::clamp<size_t>(kFrameBatchBytes / frameBytes, 1, size_t(frames)));
        for (int first = 0; first < frames; first += batch) {
            checkTime();
            // Pages are taken in order, so the stream only ever moves down.
            const int count = std::min(batch, frames - first);
            const VImage rows = withDeadline(rgba(pages.crop(0, first * height, width, count * height))).copy_memory();
            if (rows.bands() != 4 || rows.format() != VIPS_FORMAT_UCHAR)
                throw vips::VError("the frames are not 8-bit RGBA");
            auto* bytes = static_cast<std::uint8_t*>(const_cast<void*>(rows.data()));
            for (int i = 0; i < count; ++i) {
                VImage frame = VImage::new_from_memory(bytes + size_t(i) * frameBytes, frameBytes, width, height, 4,
                                                       VIPS_FORMAT_UCHAR);
                frame.get_image()->Type = VIPS_INTERPRETATION_sRGB;
                take(frame);
            }
        }
        return;
    }
    for (int i = 0; i < frames; ++i) {
        checkTime();
        VImage frame = rgba(pages.crop(0, i * height, width, height));
        if (target != header.stored) {
            // Resampled on premultiplied pixels, so no invisible colour bleeds into the edges.
            frame = frame.premultiply()
                        .resize(double(target.width()) / width,
                                VImage::option()->set("vscale", double(target.height()) / height))
                        .unpremultiply()
                        .cast(VIPS_FORMAT_UCHAR)
                        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        }
        frame = withDeadline(frame).copy_memory();
        if (header.orientation > 1)
            frame = turnUpright(frame, header.orientation).copy_memory();
        take(frame);
    }
}

} // namespace cropling::decoding
