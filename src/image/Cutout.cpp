#include "Cutout.h"

#include "core/BackgroundRemoval.h"
#include "image/Picture.h"
#include "image/helper/Decoding.h"

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cropling {

using vips::VImage;

namespace {

// The side the subject is looked for at: enough for an emoji's edge, quick on any photo.
constexpr int kSearchSide = 700;

PixelRows rowsOf(const VImage& rgb) {
    const VImage memory = rgb.copy_memory();
    PixelRows rows{memory.width(), memory.height(), memory.bands(),
                   std::vector<std::uint8_t>(size_t(memory.width()) * size_t(memory.height()) * size_t(memory.bands()))};
    std::memcpy(rows.bytes.data(), vips_image_get_data(memory.get_image()), rows.bytes.size());
    return rows;
}

// An image that owns a copy of the bytes.
VImage ownedCopy(const std::vector<std::uint8_t>& bytes, int width, int height, int bands) {
    void* memory = g_malloc(bytes.size());
    std::memcpy(memory, bytes.data(), bytes.size());
    return VImage::new_from_memory_steal(memory, bytes.size(), width, height, bands, VIPS_FORMAT_UCHAR);
}

// The frame with the mask (enlarged to it) as its alpha, and the edge's colours decontaminated.
VImage cutOut(const VImage& frame, const VImage& mask, const Foreground& found) {
    const VImage rgb = frame.bands() == 4 ? frame.extract_band(0, VImage::option()->set("n", 3)) : frame;
    VImage alpha = mask.resize(double(frame.width()) / mask.width(),
                               VImage::option()->set("vscale", double(frame.height()) / mask.height())->set("kernel", VIPS_KERNEL_LINEAR));
    alpha = alpha.crop(0, 0, std::min(alpha.width(), frame.width()), std::min(alpha.height(), frame.height()))
                .embed(0, 0, frame.width(), frame.height(), VImage::option()->set("extend", VIPS_EXTEND_COPY));
    if (frame.bands() == 4)
        alpha = (alpha.cast(VIPS_FORMAT_FLOAT) * frame.extract_band(3).cast(VIPS_FORMAT_FLOAT) / 255.0).cast(VIPS_FORMAT_UCHAR);
    PixelRows pixels = rowsOf(rgb.bandjoin(alpha));
    for (int y = 0; y < pixels.height; ++y) {
        std::uint8_t* p = pixels.row(y);
        for (int x = 0; x < pixels.width; ++x, p += 4) {
            if (p[3] == 0 || p[3] == 255)
                continue;
            const double fx = double(x) / pixels.width, fy = double(y) / pixels.height;
            const double background[3] = {found.plane[0] + found.plane[3] * fx + found.plane[6] * fy,
                                          found.plane[1] + found.plane[4] * fx + found.plane[7] * fy,
                                          found.plane[2] + found.plane[5] * fx + found.plane[8] * fy};
            decontaminate(p, background, p[3]);
        }
    }
    return ownedCopy(pixels.bytes, pixels.width, pixels.height, 4).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

} // namespace

std::shared_ptr<const Picture> withoutBackground(const Picture& picture) {
    if (picture.isOpenedForRender() || picture.pixelWidth() < 8)
        return nullptr;
    try {
        const VImage& first = picture.frame(0).pixels();
        const double scale = std::min(1.0, double(kSearchSide) / std::max(first.width(), first.height()));
        const VImage small = scale < 1.0 ? first.resize(scale) : first;
        const auto found = findForeground(rowsOf(small.cast(VIPS_FORMAT_UCHAR)));
        if (!found)
            return nullptr;
        const VImage mask = ownedCopy(found->alpha, found->width, found->height, 1);
        if (!picture.hasFrames())
            return Picture::fromPixels(cutOut(picture.pixels(), mask, *found), picture.fullSize());
        std::vector<std::shared_ptr<const Picture>> frames;
        for (int i = 0; i < picture.frameCount(); ++i)
            frames.push_back(Picture::fromPixels(cutOut(picture.frame(i).pixels(), mask, *found), picture.fullSize(), true));
        return Picture::animated(std::move(frames), picture.frameDelays(), picture.loopCount());
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
}

} // namespace cropling
