#pragma once

// EXIF orientation: how a picture stored one way round is shown upright. A viewer turns it by a
// clockwise rotation of 0, 90, 180 or 270 degrees, then a horizontal flip, as the tag's value says.

#include "core/Resample.h"

#include <QRect>
#include <QSize>

#include <cstddef>
#include <cstdint>

namespace cropling {

// The rectangle of the stored picture that shows as the given rectangle of the upright one.
QRect storedRect(int orientation, QSize stored, const QRect& upright);

// Pixels in stored orientation, turned upright.
PixelRows turnedUpright(const PixelRows& stored, int orientation);

// The orientation an EXIF block gives (1 to 8), or 1 when it gives none. The block is the TIFF
// structure, with or without the "Exif\0\0" a JPEG puts before it; every read stays inside it.
int exifOrientation(const std::uint8_t* exif, std::size_t size);

} // namespace cropling
