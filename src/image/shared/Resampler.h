#pragma once

// The emoji's resampling filter (core/Resample.h) on pictures held by libvips.

#include "core/Resample.h"

#include <QRectF>

#include <vips/vips8>

namespace cropling {

// Resamples a window of an 8-bit RGB or RGBA picture to exactly outWidth x outHeight, as the
// filter does on plain pixels. Only the pixels the window touches are computed, so a lazily
// decoded picture decodes just them. The result has the input's bands and is 8-bit.
vips::VImage resampleWindow(const vips::VImage& picture, const QRectF& window, int outWidth, int outHeight);

// Plain 8-bit pixels as an image libvips owns, made without a computation: grey for one or two
// bands, sRGB for three or four. A copy, as libvips' operation cache may keep what it was given.
vips::VImage imageOf(const PixelRows& rows);

} // namespace cropling
