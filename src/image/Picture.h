#pragma once

// A decoded picture: upright, sRGB, 8 bits per channel, kept whole in memory so that a render never
// depends on the file it came from. Immutable once made, so views and operations share it freely.
// The pixels live in libvips; nothing outside this layer needs its headers.

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <memory>

namespace vips {
class VImage;
}

namespace cropling {

class Picture {
public:
    // Decodes encoded bytes in any format the loaders read, chosen by content, not by file name.
    // Gives nothing for bytes that hold no picture, a refused format or a picture above the pixel limit.
    static std::shared_ptr<const Picture> decode(const QByteArray& encoded);
    // Takes a picture that exists only as pixels (image data from the clipboard).
    static std::shared_ptr<const Picture> fromImage(const QImage& image);
    // Takes pixels that are already upright 8-bit sRGB with 3 or 4 bands, kept in memory.
    static std::shared_ptr<const Picture> fromPixels(const vips::VImage& pixels);

    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int pixelWidth() const;
    int pixelHeight() const;
    // The size the on-screen geometry works with: one logical pixel per upright image pixel.
    QSizeF nominalSize() const { return QSizeF(pixelWidth(), pixelHeight()); }

    // Full resolution, 3 bands (RGB) or 4 (RGBA, unpremultiplied), unsigned 8-bit, in memory.
    const vips::VImage& pixels() const;
    // The smallest prepared reduction that still has at least `devicePixelsPerPixel` of its pixels
    // per full-resolution pixel, or the largest one: what a paint draws from at any size.
    const QImage& displayLevel(double devicePixelsPerPixel) const;

private:
    struct Private;
    explicit Picture(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d_;
};

using PicturePtr = std::shared_ptr<const Picture>;

} // namespace cropling
