#pragma once

// The renders of pictures held in this process, in the libvips part of the layer: what
// EmojiRenderer.h hands over when no helper holds the picture.

#include "core/CropGeometry.h"
#include "core/OpenFailure.h"
#include "image/VipsLayer.h"

#include <QByteArray>
#include <QPointF>

#include <optional>

namespace cropling {

class Picture;

// The framed square of a decoded picture as an n x n RGBA PNG; nothing without a failure when it
// shows too little.
std::optional<QByteArray> renderPicturePng(const Picture& picture, const Framing& framing, int outputSize,
                                           std::optional<OpenFailure>* failure);
// The same of a picture opened from its bytes, shown as `orientation` says (the file's own,
// perhaps turned since): only the part the square shows is decoded.
std::optional<QByteArray> renderOpenedPng(const QByteArray& encoded, int orientation, const Framing& framing,
                                          int outputSize, std::optional<OpenFailure>* failure);
// The framed square of every frame of a decoded animation.
std::optional<RgbaFrames> renderPictureFrames(const Picture& picture, const Framing& framing, int outputSize, int maxFrames = 0);
// A rendered square's PNG as one frame.
std::optional<RgbaFrames> frameOfPng(const QByteArray& png);

} // namespace cropling
