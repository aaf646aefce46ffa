#pragma once

// The framed square from pixels in memory, for a still and for each frame of an animation alike.
// Used inside this layer only.

#include "core/CropGeometry.h"
#include <QPointF>
#include <QSize>

#include <vips/vips8>

#include <optional>

namespace cropling {

// The n x n RGBA square of a picture of `fullSize` decoded as `pixels` (any reduction of it): the
// part it shows resampled onto its place on the canvas, transparent around it where the picture
// does not fill it. Nothing when the square shows too little of the picture.
std::optional<vips::VImage> renderSquare(const vips::VImage& pixels, QSize fullSize, const Framing& framing, int n);

// The shorter side a picture of `fullSize` is decoded at for its n x n square: the largest
// reduction that still leaves the filter three source pixels per emoji pixel. 0 when the square
// shows too little.
int squareSourceSide(QSize fullSize, const Framing& framing, int n);

} // namespace cropling
