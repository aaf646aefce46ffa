#pragma once

// Checks a file's structure before any decoder sees it, for the few ways a small file can make a
// decoder spend gigabytes or minutes: metadata chunks that inflate without bound, thousands of
// animation frames, a JPEG with hundreds of scans. Cheap: it walks the container and decodes
// nothing.

#include <QByteArray>

#include <optional>

namespace cropling::preflight {

// The bytes to hand to the decoder: unchanged for most files; a PNG without its text chunks
// (which the program never shows); an animated WebP cut to its first frame; a TIFF cut to its first
// page; a BMP, ICO or portable anymap decoded by Qt's image reader and handed on as a PNG.
// Nothing for a file refused outright, a PNG cut short or with a damaged critical chunk and a GIF
// cut inside a block among them.
std::optional<QByteArray> sanitise(const QByteArray& encoded);

// Whether the bytes are a BMP, ICO or portable anymap, which Qt's reader decodes.
bool needsQtReader(const QByteArray& encoded);

// A progressive JPEG with more scans than this is refused: ordinary ones have about ten.
inline constexpr int kMaxJpegScans = 100;

} // namespace cropling::preflight
