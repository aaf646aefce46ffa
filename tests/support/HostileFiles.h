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

// An animated WebP of this many 1 x 1 frames.
QByteArray animatedWebp(int frames);

// A progressive JPEG whose last scan is repeated until the file has this many scans; as it is
// when it has that many already.
QByteArray jpegWithScans(int scans);

} // namespace cropling::test
