#pragma once

// Small files that ask a decoder for far more than they hold, made in code: each stands for a way
// a picture from the internet could make the program use gigabytes or minutes.

#include <QByteArray>

namespace cropling::test {

// A 64 x 64 PNG carrying `chunks` compressed text chunks (zTXt and iTXt in turn), each inflating
// to `inflated` bytes.
QByteArray pngWithTextBombs(int chunks, qsizetype inflated);

// A GIF of a few dozen bytes whose single frame claims width x height (and holds no pixels).
QByteArray gifClaiming(int width, int height);

// A deflate-compressed TIFF of side x side pixels with this many bands.
QByteArray tiffWithBands(int side, int bands);

// A TIFF of this many pages, each side x side.
QByteArray tiffWithPages(int pages, int side);

// An animated WebP of this many 1 x 1 frames.
QByteArray animatedWebp(int frames);

// A progressive JPEG whose last scan is repeated until the file has this many scans; as it is
// when it has that many already.
QByteArray jpegWithScans(int scans);

// Large plain pictures, for the memory bound of the working resolution (slow to make: benchmarks
// only): a JPEG and a 16-bit RGBA PNG of side x side with an EXIF orientation.
QByteArray hugeJpeg(int side, int orientation);
QByteArray hugePng16(int side, int orientation);
// A lossless WebP of side x side in one colour: a few hundred bytes.
QByteArray hugeWebp(int side);

} // namespace cropling::test
