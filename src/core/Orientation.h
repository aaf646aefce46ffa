#pragma once

// EXIF orientation: how a picture stored one way round is shown upright. A viewer turns it by a
// clockwise rotation of 0, 90, 180 or 270 degrees, then a horizontal flip, as the tag's value says.

#include "core/Resample.h"

#include <QRect>
#include <QSize>

#include <QPointF>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace cropling {

// The clockwise rotation (0, 90, 180 or 270 degrees) and then the flip that an orientation asks for.
struct UprightTurn {
    int degrees = 0;
    bool flip = false;
};
UprightTurn uprightTurn(int orientation);
// The size a picture stored at `stored` shows at.
QSize uprightSize(QSize stored, int orientation);

// The rectangle of the stored picture that shows as the given rectangle of the upright one.
QRect storedRect(int orientation, QSize stored, const QRect& upright);

// Where the n x n emoji of a picture stored in some orientation comes from, when it is decoded from
// the file for that one render: the canvas rectangle the picture fills, that rectangle's size in
// stored orientation (the square is resampled before it is turned upright, which gives the same
// pixels, since the filter treats both axes alike), the stored rectangle the square shows, and the
// shorter side the stored picture is decoded at to leave the filter three source pixels per emoji
// pixel. Nothing when the square shows too little of the picture.
struct StoredSquare {
    QRect canvas;
    QSize storedCanvas;
    QRect stored;
    int shorterSide = 0;
};
std::optional<StoredSquare> storedSquare(QSize stored, int orientation, double zoom, QPointF offset, int n);

// Orientations compose: the one that shows a picture as `first` does and then turns what it shows
// as `then` does. A user's turns are orientations too, applied after the file's own.
int composedOrientation(int first, int then);
inline constexpr int kTurnRight = 6; // a quarter turn clockwise
inline constexpr int kTurnLeft = 8;  // a quarter turn anticlockwise
inline constexpr int kFlipAcross = 2; // left and right swapped
// An orientation (1 to 8) for a turn of 0, 90, 180 or 270 degrees clockwise, flipped after it or not.
int orientationOf(UprightTurn turn);
// Where a point, measured from the centre of a picture, lands once the picture is turned about
// its centre as the orientation says.
QPointF turnedPoint(QPointF point, int orientation);

// Pixels in stored orientation, turned upright.
PixelRows turnedUpright(const PixelRows& stored, int orientation);

// The orientation an EXIF block gives (1 to 8), or 1 when it gives none. The block is the TIFF
// structure, with or without the "Exif\0\0" a JPEG puts before it; every read stays inside it.
int exifOrientation(const std::uint8_t* exif, std::size_t size);

} // namespace cropling
