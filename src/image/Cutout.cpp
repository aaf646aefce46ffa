#include "Cutout.h"

#include "core/BackgroundRemoval.h"
#include "image/FaceFraming.h"
#include "image/Picture.h"
#include "image/decoding/Decoding.h"

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cropling {

using vips::VImage;

namespace {

// The side the subject is looked for at: enough for an emoji's edge, quick on any photo.
constexpr int kCutoutSearchSide = 700;
// The side the segmentation works at: each of its rounds takes some 100 ms at this size.
constexpr int kSegmentSide = 400;
constexpr int kSegmentRounds = 4;

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

// The picture with `mask` (of any size) as its alpha, every frame alike.
std::shared_ptr<const Picture> withMask(const Picture& picture, const VImage& mask, const Foreground& found) {
    if (!picture.hasFrames())
        return Picture::fromPixels(cutOut(picture.pixels(), mask, found), picture.fullSize());
    std::vector<std::shared_ptr<const Picture>> frames;
    for (int i = 0; i < picture.frameCount(); ++i)
        frames.push_back(Picture::fromPixels(cutOut(picture.frame(i).pixels(), mask, found), picture.fullSize(), true));
    return Picture::animated(std::move(frames), picture.frameDelays(), picture.loopCount());
}

// The first frame reduced to at most `side` on its longer side, RGB.
VImage reducedRgb(const Picture& picture, int side) {
    const VImage& first = picture.frame(0).pixels();
    const double scale = std::min(1.0, double(side) / std::max(first.width(), first.height()));
    VImage small = scale < 1.0 ? first.resize(scale) : first;
    if (small.bands() == 4)
        small = small.flatten(VImage::option()->set("background", std::vector<double>{255, 255, 255}));
    return small.cast(VIPS_FORMAT_UCHAR);
}

// Where the labels say the subject is, and the mean colour of what they say is background (the
// colour edge pixels are decontaminated of).
Foreground subjectOf(const PixelRows& rgb, const std::vector<std::uint8_t>& labels) {
    Foreground subject{std::vector<std::uint8_t>(labels.size()), rgb.width, rgb.height};
    double sum[3] = {}, count = 0;
    for (size_t i = 0; i < labels.size(); ++i) {
        const bool kept = labels[i] == CroplingSubject || labels[i] == CroplingLikelySubject;
        subject.alpha[i] = kept ? 255 : 0;
        if (!kept) {
            for (int c = 0; c < 3; ++c)
                sum[c] += rgb.bytes[3 * i + size_t(c)];
            ++count;
        }
    }
    for (int c = 0; c < 3; ++c)
        subject.plane[c] = count > 0 ? sum[c] / count : 255.0;
    return subject;
}

} // namespace

std::shared_ptr<const Picture> withoutBackground(const Picture& picture) {
    if (picture.isOpenedForRender() || picture.pixelWidth() < 8)
        return nullptr;
    try {
        const VImage& first = picture.frame(0).pixels();
        const double scale = std::min(1.0, double(kCutoutSearchSide) / std::max(first.width(), first.height()));
        const VImage small = scale < 1.0 ? first.resize(scale) : first;
        const auto found = findForeground(rowsOf(small.cast(VIPS_FORMAT_UCHAR)));
        if (!found)
            return nullptr;
        return withMask(picture, ownedCopy(found->alpha, found->width, found->height, 1), *found);
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
}

std::shared_ptr<const Picture> refinedCutout(const Picture& picture, const Picture& shown, const std::vector<CutoutMark>& marks,
                                             QString* why) {
    if (picture.isOpenedForRender() || picture.pixelWidth() < 8)
        return nullptr;
    const FaceModule& module = faceModule();
    if (!module.segment) {
        *why = module.error;
        return nullptr;
    }
    try {
        const VImage small = reducedRgb(picture, kSegmentSide);
        const PixelRows rgb = rowsOf(small.extract_band(0, VImage::option()->set("n", 3)));
        const int w = rgb.width, h = rgb.height;
        std::vector<std::uint8_t> labels(size_t(w) * size_t(h), CroplingLikelySubject);
        // From the cut shown now: its alpha at this size says what is likely kept. Without one,
        // the border is background, as a frame drawn round the subject would say.
        const VImage& cut = shown.frame(0).pixels();
        if (cut.bands() == 4) {
            const VImage alpha = cut.extract_band(3)
                                     .resize(double(w) / cut.width(), VImage::option()->set("vscale", double(h) / cut.height()))
                                     .cast(VIPS_FORMAT_UCHAR);
            const PixelRows kept = rowsOf(alpha.crop(0, 0, std::min(w, alpha.width()), std::min(h, alpha.height()))
                                              .embed(0, 0, w, h, VImage::option()->set("extend", VIPS_EXTEND_COPY)));
            for (size_t i = 0; i < labels.size(); ++i)
                labels[i] = kept.bytes[i] >= 128 ? CroplingLikelySubject : CroplingLikelyBackground;
        } else {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                        labels[size_t(y) * size_t(w) + size_t(x)] = CroplingBackground;
        }
        // A face is the subject: the middle of each face found is kept for certain.
        const VImage grey = small.colourspace(VIPS_INTERPRETATION_B_W).extract_band(0).cast(VIPS_FORMAT_UCHAR).copy_memory();
        std::vector<CroplingFace> faces(16);
        char error[256] = {};
        const int found = module.find(static_cast<const unsigned char*>(vips_image_get_data(grey.get_image())), w, h, w,
                                      faces.data(), int(faces.size()), error, int(sizeof error));
        for (int f = 0; f < found; ++f)
            for (int y = faces[size_t(f)].y + faces[size_t(f)].height / 4; y < faces[size_t(f)].y + 3 * faces[size_t(f)].height / 4; ++y)
                for (int x = faces[size_t(f)].x + faces[size_t(f)].width / 4; x < faces[size_t(f)].x + 3 * faces[size_t(f)].width / 4; ++x)
                    if (x >= 0 && y >= 0 && x < w && y < h)
                        labels[size_t(y) * size_t(w) + size_t(x)] = CroplingSubject;
        paintMarks(marks, w, h, labels.data(), CroplingSubject, CroplingBackground);
        if (module.segment(rgb.bytes.data(), w, h, w * 3, labels.data(), kSegmentRounds, error, int(sizeof error)) != 0) {
            *why = QString::fromUtf8(error);
            return nullptr;
        }
        const Foreground subject = subjectOf(rgb, labels);
        // Specks of a pixel or two the cut leaves go (an opening: the least of each 3 x 3, then the
        // most), then a soft edge, about a pixel of the reduction wide, as the one-step removal makes.
        const VImage mask =
            ownedCopy(subject.alpha, w, h, 1).rank(3, 3, 0).rank(3, 3, 8).gaussblur(0.7).cast(VIPS_FORMAT_UCHAR);
        return withMask(picture, mask, subject);
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
}

} // namespace cropling
