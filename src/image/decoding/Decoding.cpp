#include "Decoding.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "image/decoding/Preflight.h"
#include "image/shared/VipsRuntime.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

namespace cropling::decoding {

using vips::VImage;

namespace {

// A box average by a whole factor, in float on premultiplied pixels: an 8-bit box shrink rounds
// with a bias, and averaging straight alpha would pull invisible colour into the edges.
VImage boxShrink(const VImage& img, int factor) {
    const bool alpha = img.has_alpha();
    VImage work = alpha ? img.premultiply() : img.cast(VIPS_FORMAT_FLOAT);
    work = work.shrink(factor, factor);
    if (alpha)
        work = work.unpremultiply();
    return work.round(VIPS_OPERATION_ROUND_RINT)
        .cast(img.format())
        .copy(VImage::option()->set("interpretation", img.interpretation()));
}

// A reduction by less than this is not worth a second resampling.
constexpr double kReduceAbove = 1.25;

// A reduction by any factor with Lanczos-3, in float on premultiplied pixels as the box shrink.
VImage lanczosReduce(const VImage& img, double scale) {
    const bool alpha = img.has_alpha();
    VImage work = alpha ? img.premultiply() : img.cast(VIPS_FORMAT_FLOAT);
    work = work.resize(scale, VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3)->set("gap", 0.0));
    if (alpha) {
        // The kernel's lobes overshoot: an alpha below nothing or above full would turn colours
        // inside out when divided by it.
        const int last = work.bands() - 1;
        const double full = img.format() == VIPS_FORMAT_UCHAR ? 255.0 : 65535.0;
        VImage coverage = work.extract_band(last);
        coverage = (coverage < 0.0).ifthenelse(0.0, (coverage > full).ifthenelse(full, coverage));
        work = work.extract_band(0, VImage::option()->set("n", last)).bandjoin(coverage).unpremultiply(
            VImage::option()->set("max_alpha", full));
    }
    // The cast clips what the kernel's lobes overshoot.
    return work.round(VIPS_OPERATION_ROUND_RINT)
        .cast(img.format())
        .copy(VImage::option()->set("interpretation", img.interpretation()));
}

std::string loaderOf(const QByteArray& encoded) {
    const char* loader = vips_foreign_find_load_buffer(encoded.constData(), size_t(encoded.size()));
    return loader ? loader : "";
}

// Loaders that decode a strip at a time, so that a reduced decode holds only the reduction.
bool streams(const std::string& loader) {
    return loader == "VipsForeignLoadJpegBuffer" || loader == "VipsForeignLoadPngBuffer" ||
           loader == "VipsForeignLoadWebpBuffer" || loader == "VipsForeignLoadTiffBuffer" ||
           loader == "VipsForeignLoadSvgBuffer";
}

struct Deadline {
    QElapsedTimer clock;
};

void checkDeadline(VipsImage* image, VipsProgress*, gpointer data) {
    if (static_cast<Deadline*>(data)->clock.elapsed() > qint64(kDecodeSeconds * 1000))
        vips_image_set_kill(image, TRUE);
}

} // namespace

VImage withDeadline(const VImage& image) {
    VImage watched = image.copy();
    vips_image_set_progress(watched.get_image(), TRUE);
    auto* deadline = new Deadline;
    deadline->clock.start();
    g_signal_connect_data(watched.get_image(), "eval", G_CALLBACK(checkDeadline), deadline,
                          [](gpointer data, GClosure*) { delete static_cast<Deadline*>(data); }, GConnectFlags(0));
    return watched;
}

namespace {
thread_local bool outOfMemory = false;
}

void noteFailure(const vips::VError& error) {
    const std::string what = error.what();
    outOfMemory = what.find("out of memory") != std::string::npos || what.find("unable to allocate") != std::string::npos ||
                  what.find("memory") != std::string::npos;
}

OpenFailure failureAfter(qint64 elapsedMilliseconds) {
    const bool memory = std::exchange(outOfMemory, false);
    if (elapsedMilliseconds >= qint64(kDecodeSeconds * 1000))
        return OpenFailure::TookTooLong;
    return memory ? OpenFailure::OutOfMemory : OpenFailure::Damaged;
}

std::optional<Header> readHeader(const QByteArray& encoded, bool preflighted, OpenFailure* why) {
    OpenFailure ignored;
    if (!why)
        why = &ignored;
    ensureVipsStarted();
    *why = OpenFailure::NotPicture;
    if (encoded.isEmpty())
        return std::nullopt;
    Header header;
    if (preflighted) {
        header.encoded = encoded;
    } else if (auto safe = preflight::sanitise(encoded)) {
        header.encoded = std::move(*safe);
    } else {
        // Qt's reader refuses what it cannot read, the walks over a PNG or GIF a damaged one; the
        // other walks refuse what would cost too much.
        const bool damaged = preflight::needsQtReader(encoded) || encoded.startsWith("\x89PNG") || encoded.startsWith("GIF8");
        *why = damaged ? OpenFailure::Damaged : OpenFailure::TooLarge;
        return std::nullopt;
    }
    header.loader = loaderOf(header.encoded);
    if (header.loader.empty())
        return std::nullopt;
    *why = OpenFailure::Damaged;
    try {
        header.image = VImage::new_from_buffer(header.encoded.constData(), size_t(header.encoded.size()), "");
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
    const VImage& image = header.image;
    const long long pixels = (long long)image.width() * image.height();
    if (image.width() < 1 || image.height() < 1)
        return std::nullopt;
    *why = OpenFailure::TooLarge;
    if (pixels > kMaxDecodedPixels)
        return std::nullopt;
    if (!streams(header.loader) &&
        pixels * std::max(image.bands(), 4) * (long long)vips_format_sizeof(image.format()) > kWholeDecodeBudget)
        return std::nullopt;
    header.stored = QSize(image.width(), image.height());
    if (image.get_typeof(VIPS_META_ORIENTATION) != 0)
        header.orientation = std::clamp(image.get_int(VIPS_META_ORIENTATION), 1, 8);
    header.upright = uprightSize(header.stored, header.orientation);
    header.hasProfile = image.get_typeof(VIPS_META_ICC_NAME) != 0;
    if (image.get_typeof(VIPS_META_N_PAGES) != 0)
        header.pages = std::max(1, image.get_int(VIPS_META_N_PAGES));
    return header;
}

double svgScale(const Header& header, int minShorterSide) {
    const double shorter = std::min(header.stored.width(), header.stored.height());
    const double area = double(header.stored.width()) * header.stored.height();
    return std::min((minShorterSide + 1.0) / shorter, std::sqrt(double(kMaxDrawnPixels) / area));
}

bool hasCheapReduction(const Header& header, int minShorterSide) {
    const int shorter = std::min(header.stored.width(), header.stored.height());
    const std::string& name = header.loader;
    return minShorterSide > 0 && shorter >= 4 * minShorterSide &&
           (name == "VipsForeignLoadJpegBuffer" || name == "VipsForeignLoadWebpBuffer" || name == "VipsForeignLoadSvgBuffer");
}

VImage loadReduced(const Header& header, int minShorterSide, bool toSide) {
    const QByteArray& encoded = header.encoded;
    const int shorter = std::min(header.stored.width(), header.stored.height());
    const std::string& name = header.loader;
    // A file cut short or broken inside is an error, not a picture with a grey lower half.
    vips::VOption* options =
        VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    if (minShorterSide > 0 && shorter > minShorterSide) {
        if (name == "VipsForeignLoadJpegBuffer") {
            int shrink = 8;
            while (shrink > 1 && shorter / shrink < minShorterSide)
                shrink /= 2;
            if (shrink > 1)
                options->set("shrink", shrink);
        } else if (name == "VipsForeignLoadWebpBuffer") {
            // One pixel of room, so rounding inside the decoder cannot fall below the need.
            options->set("scale", std::min(1.0, (minShorterSide + 1.0) / shorter));
        }
    }
    // A drawing has no pixels of its own: it is drawn at just the size the use needs, larger than
    // its nominal size too, so a small logo stays sharp.
    if (minShorterSide > 0 && name == "VipsForeignLoadSvgBuffer")
        options->set("scale", svgScale(header, minShorterSide));
    VImage img = VImage::new_from_buffer(encoded.constData(), size_t(encoded.size()), "", options);
    // Bands beyond colour and alpha (CMYK with alpha has five) carry nothing the emoji shows.
    if (img.bands() > 5)
        img = img.extract_band(0, VImage::option()->set("n", 4));
    if (minShorterSide > 0) {
        const int factor = std::min(img.width(), img.height()) / (2 * minShorterSide);
        if (factor >= 2)
            img = boxShrink(img, factor);
        // For a working picture, what is left above the need (up to four times it) goes in a
        // Lanczos reduction: the program keeps only the pixels its square and the emoji can use.
        const double left = double(std::min(img.width(), img.height())) / minShorterSide;
        if (toSide && left > kReduceAbove)
            img = lanczosReduce(img, (minShorterSide + 1.0) / std::min(img.width(), img.height()));
    }
    return img;
}

VImage toSrgb8(VImage img, bool useProfile) {
    if (useProfile && img.get_typeof(VIPS_META_ICC_NAME) != 0)
        img = img.icc_transform("srgb", VImage::option()->set("embedded", true)->set("depth", 8));
    if (img.interpretation() != VIPS_INTERPRETATION_sRGB || img.format() != VIPS_FORMAT_UCHAR)
        img = img.colourspace(VIPS_INTERPRETATION_sRGB);
    if (img.format() != VIPS_FORMAT_UCHAR)
        img = img.cast(VIPS_FORMAT_UCHAR);

    const bool alpha = img.has_alpha();
    if (img.bands() < 3) {
        const VImage grey = img.extract_band(0);
        VImage rgb = grey.bandjoin(grey).bandjoin(grey);
        img = alpha ? rgb.bandjoin(img.extract_band(1)) : rgb;
    } else if (img.bands() > 4 || (img.bands() == 4 && !alpha)) {
        img = img.extract_band(0, VImage::option()->set("n", alpha ? 4 : 3));
    }
    return img.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage cropInOrder(const VImage& image, const QRect& part) {
    if (part.y() < 4096) // near the top, the pipeline's own crop is as quick
        return withDeadline(image.crop(part.x(), part.y(), part.width(), part.height())).copy_memory();
    QElapsedTimer clock;
    clock.start();
    const size_t pixelBytes = size_t(vips_format_sizeof(image.format())) * size_t(image.bands());
    const size_t rowBytes = pixelBytes * size_t(part.width());
    void* memory = g_try_malloc(rowBytes * size_t(part.height()));
    if (!memory)
        throw vips::VError("out of memory");
    auto* out = static_cast<char*>(memory);
    try {
        const vips::VRegion region = vips::VRegion::new_from_image(image);
        constexpr int kStrip = 256;
        for (int top = 0; top <= part.bottom(); top += kStrip) {
            if (clock.elapsed() > qint64(kDecodeSeconds * 1000))
                throw vips::VError("took too long");
            const int height = std::min(kStrip, part.bottom() + 1 - top);
            // Rows above the part are read one column wide: the stream moves on, nothing is kept.
            const bool inside = top + height > part.y();
            region.prepare(part.x(), top, inside ? part.width() : 1, height);
            if (!inside)
                continue;
            for (int y = std::max(top, part.y()); y < top + height; ++y)
                std::memcpy(out + size_t(y - part.y()) * rowBytes, region.addr(part.x(), y), rowBytes);
        }
    } catch (...) {
        g_free(memory);
        throw;
    }
    return VImage::new_from_memory_steal(memory, rowBytes * size_t(part.height()), part.width(), part.height(),
                                         image.bands(), image.format())
        .copy(VImage::option()->set("interpretation", image.interpretation()));
}

VImage turnUpright(const VImage& stored, int orientation) {
    const UprightTurn turn = uprightTurn(orientation);
    const VipsAngle angle = turn.degrees == 90 ? VIPS_ANGLE_D90 : turn.degrees == 180 ? VIPS_ANGLE_D180
                          : turn.degrees == 270 ? VIPS_ANGLE_D270 : VIPS_ANGLE_D0;
    VImage img = angle == VIPS_ANGLE_D0 ? stored : stored.rot(angle);
    return turn.flip ? img.flip(VIPS_DIRECTION_HORIZONTAL) : img;
}

} // namespace cropling::decoding
