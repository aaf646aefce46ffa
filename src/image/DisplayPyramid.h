#pragma once

// Reductions of a picture prepared once, when it arrives, so that drawing it at any size is a
// cheap bilinear draw from a level at most twice the needed resolution: no aliasing while a large
// photo is dragged, and nothing scales the full-resolution bitmap on a paint.

#include <QImage>

#include <vector>

namespace vips {
class VImage;
}

namespace cropling {

class DisplayPyramid {
public:
    // With `shareTop`, a top level at the picture's own size draws straight from its pixels, which
    // must outlive the pyramid: an animation's frames are many, and a copy of each would double
    // what they hold. Drawing from straight alpha is slower than from premultiplied, which one
    // frame of a few hundred pixels can afford.
    explicit DisplayPyramid(const vips::VImage& picture, bool shareTop = false);

    // The smallest level that still has at least `devicePixelsPerPixel` of its pixels per
    // full-resolution pixel, or the largest level if none has that many.
    const QImage& levelFor(double devicePixelsPerPixel) const;

    // The largest level's shorter side is at most this: enough for the crop square at zoom 4.5 on a
    // 2x screen, while a 50 MP photo keeps its display copy near 50 MB.
    static constexpr int kTopShorterSide = 3072;
    // A top level larger than this (in premultiplied bytes) is drawn from the picture's own pixels.
    static constexpr long long kLargestCopy = 64LL << 20;
    // A frame this small is halved from a premultiplied copy of it.
    static constexpr long long kSmallFramePixels = 1LL << 20;

private:
    std::vector<QImage> levels_; // largest first, each half the size of the one before
    int fullWidth_ = 1;
};

} // namespace cropling
