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

// More inputs of the benchmark, each a way past a defence that counts or limits one thing:
// a progressive JPEG of side x side with this many scans, optionally with a junk byte after SOI
// and full-resolution chroma (4:4:4);
QByteArray progressiveJpeg(int side, int scans, bool junkAfterStart, bool fullChroma);
// a PNG of width x height, Adam7-interlaced when asked, 8 or 16 bits, 3 or 4 bands;
QByteArray plainPng(int width, int height, int bands, int depth, bool interlaced);
// a small JPEG carrying this many APP1 segments of 64 KB;
QByteArray jpegWithAppSegments(int segments);
// a PNG with an eXIf chunk of this many bytes;
QByteArray pngWithExif(qsizetype bytes);
// SVG drawings: one embedding a PNG of side x side as a data: URL; a thin one of width x height;
// one with a convolution filter of this order; one with this many rectangles;
QByteArray svgWithEmbeddedPng(int side);
QByteArray thinSvg(int width, int height);
QByteArray svgConvolution(int order);
QByteArray svgRects(int count);

// An MP4 (its movie box after its media, as ffmpeg writes it by default) whose first track is
// repeated until there are `copies` of it, each reading the same samples: a file of a few
// megabytes that asks for as many decoders as it has tracks. Empty when it has no such layout.
QByteArray mp4WithRepeatedTrack(const QByteArray& mp4, int copies);

} // namespace cropling::test
