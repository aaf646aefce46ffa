#pragma once

// A picture as the editor and the renders see it: upright, sRGB, 8 bits per channel, immutable once
// made, so views and operations share it freely. Either a decoding helper holds it and renders it
// (renderedBy), or its pixels live in memory in libvips, in the part of this layer that is loaded
// on first use (VipsLayer.h): nothing outside that part needs its headers, and a picture that a
// helper renders needs none of it. The factories that decode are that part's own; the program
// reaches them through VipsLayer.

#include "core/CropGeometry.h"
#include "core/OpenFailure.h"
#include "image/VipsLayer.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>

#include <memory>
#include <vector>

namespace vips {
class VImage;
}

namespace cropling {

namespace decoding {
struct Header;
}

class DecoderSession;

class Picture {
public:
    virtual ~Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Decodes encoded bytes in any format the loaders read, chosen by content, not by file name, at
    // the working resolution of its use: the bitmap's shorter side is at least minShorterSide (or
    // the picture's own, when that is smaller); 0 asks for full resolution. Gives nothing for bytes
    // that hold no picture, a refused format or a picture above the pixel limit.
    static std::shared_ptr<const Picture> decode(const QByteArray& encoded, int minShorterSide = 0);
    // A quick first look for the screen: a decode at a small scale, only for formats that decode
    // straight at a reduced scale and pictures well above minShorterSide; nothing otherwise.
    static std::shared_ptr<const Picture> decodePreview(const QByteArray& encoded, int minShorterSide);
    // Reads only the header, for a picture that is rendered once: the render decodes just the part
    // it shows, at just the resolution it needs. Nothing under the same conditions as decode().
    static std::shared_ptr<const Picture> openForRender(const QByteArray& encoded);
    // Takes pixels that are already upright 8-bit sRGB with 3 or 4 bands, kept in memory; a
    // reduction of a picture of `fullSize` when that is given.
    // A frame of an animation (`frame`) draws from its own pixels rather than from a copy.
    static std::shared_ptr<Picture> fromPixels(const vips::VImage& pixels, QSize fullSize = QSize(), bool frame = false);
    // A picture of the given upright size whose pixels stay with a decoding helper, which renders it.
    static std::shared_ptr<const Picture> renderedBy(std::shared_ptr<DecoderSession> session, QSize fullSize,
                                                     int frames = 1);
    // An animation of pictures of one size (its first frame stands for it wherever one picture is
    // used), each shown for its delay in milliseconds, played `loop` times (0: for ever). `memory`
    // is kept alive as long as any frame: the buffer the frames' pixels lie in, when they share one.
    static std::shared_ptr<const Picture> animated(std::vector<std::shared_ptr<const Picture>> frames,
                                                   std::vector<int> delaysMs, int loop,
                                                   std::shared_ptr<void> memory = nullptr);

    // The size of the decoded bitmap, which may be a reduction of the picture.
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    // The picture's own upright size, whatever resolution it was decoded at.
    virtual QSize fullSize() const = 0;
    // The size the on-screen geometry works with: one logical pixel per upright picture pixel.
    QSizeF nominalSize() const { return QSizeF(fullSize()); }

    // Whether this picture was opened for one render and holds no pixels: its encoded bytes, or the
    // helper that has them.
    virtual bool isOpenedForRender() const = 0;
    virtual const QByteArray& encoded() const = 0;

    // The framed square as an n x n PNG, or of every frame of an animation n x n, rendered where
    // the picture is held: by its helper, or here. Nothing when the square shows too little, and
    // then, when the file turned out unreadable only now, `why` says how.
    virtual std::optional<QByteArray> renderPng(const Framing& framing, int n, std::optional<OpenFailure>* why) const = 0;
    virtual std::optional<RgbaFrames> renderFrames(const Framing& framing, int n, int maxFrames,
                                                   std::optional<OpenFailure>* why) const = 0;

    // An animation's frames (a still is one frame, itself), their delays and its loop count. A
    // picture opened for one render knows how many frames it has, and has none decoded.
    virtual int frameCount() const = 0;
    bool isAnimated() const { return frameCount() > 1; }
    // Whether the frames of an animation are here to draw and play: not for a still, nor for an
    // animation opened for one render.
    bool hasFrames() const { return frameDelays().size() > 1; }
    virtual const Picture& frame(int index) const = 0;
    virtual const std::vector<int>& frameDelays() const = 0;
    virtual int loopCount() const = 0;

    // The picture turned as an orientation says (core/Orientation.h): a picture of its own whose
    // frames, renders and display are this one's turned, about its centre. Decoded pixels are
    // turned here, which takes time in proportion to them; a picture held elsewhere is turned
    // where it is rendered. Nothing when there is no memory for the turned pixels.
    virtual std::shared_ptr<const Picture> turned(int orientation) const = 0;

    // The decoded bitmap (empty for a picture opened for a render): 3 bands (RGB) or 4 (RGBA, unpremultiplied), unsigned 8-bit, in memory.
    virtual const vips::VImage& pixels() const = 0;
    // Makes the reductions for painting now rather than on the first paint, for every frame of an
    // animation; safe from any thread.
    virtual void prepareDisplay() const = 0;
    // The smallest prepared reduction that still has at least `devicePixelsPerPixel` of its pixels
    // per bitmap pixel, or the largest one: what a paint draws from at any size. A null
    // image for a picture opened for one render.
    virtual const QImage& displayLevel(double devicePixelsPerPixel) const = 0;

    // The decode, and the opening for one render, of a file whose header has been read.
    static std::shared_ptr<const Picture> decodeHeaded(const decoding::Header& header, int minShorterSide);
    static std::shared_ptr<const Picture> openHeaded(const decoding::Header& header);

protected:
    Picture() = default;
};

using PicturePtr = std::shared_ptr<const Picture>;

} // namespace cropling
