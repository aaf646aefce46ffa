#pragma once

// A decoded picture: upright, sRGB, 8 bits per channel, kept whole in memory so that a render never
// depends on the file it came from. Immutable once made, so views and operations share it freely.

#include "editor/CropGeometry.h"
#include "editor/DisplayPyramid.h"

#include <QByteArray>
#include <QImage>

#include <vips/vips8>

#include <memory>

namespace cropling {

class Picture {
public:
    // Decodes encoded bytes in any format the loaders read, chosen by content, not by file name.
    // Gives nothing for bytes that hold no picture, a refused format or a picture above the pixel limit.
    static std::shared_ptr<const Picture> decode(const QByteArray& encoded);
    // Takes a picture that exists only as pixels (image data from the clipboard).
    static std::shared_ptr<const Picture> fromImage(const QImage& image);

    int pixelWidth() const { return pixels_.width(); }
    int pixelHeight() const { return pixels_.height(); }
    // The size the on-screen geometry works with: one point per upright pixel.
    SizeD nominalSize() const { return {double(pixelWidth()), double(pixelHeight())}; }

    // Full resolution, 3 bands (RGB) or 4 (RGBA, unpremultiplied), unsigned 8-bit, in memory.
    const vips::VImage& pixels() const { return pixels_; }
    // Prepared reductions for drawing on screen at any size.
    const DisplayPyramid& display() const { return display_; }

    explicit Picture(vips::VImage pixels);

private:
    vips::VImage pixels_;
    DisplayPyramid display_;
};

using PicturePtr = std::shared_ptr<const Picture>;

} // namespace cropling
