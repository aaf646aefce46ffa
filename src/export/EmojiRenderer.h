#pragma once

#include "editor/CropGeometry.h"

#include <QByteArray>

#include <optional>

namespace cropling {

class Picture;

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The whole pixels of a W x H bitmap that the crop square shows: the crop rectangle intersected with
// the bitmap, expanded outward to whole pixels. Nothing when the zoom is not a positive finite
// number, when there is no overlap, or when the overlap is 1 pixel or less on either axis.
std::optional<PixelRect> emojiSourcePixels(int width, int height, double zoom, SizeD offset);

// The framed square as an n x n 8-bit RGBA sRGB PNG, resampled from the full-resolution picture.
std::optional<QByteArray> renderEmojiPNG(const Picture* picture, double zoom, SizeD offset, int outputSize);

// The largest output side the render accepts; every caller passes 128.
inline constexpr int kMaxOutputSize = 4096;

} // namespace cropling
