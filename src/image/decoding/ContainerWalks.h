#pragma once

// Walks over the containers of picture files that decode nothing: each bounds what a decoder will
// be asked to do with a file (see Preflight.h). Plain Qt Core, so every decoding helper runs them.

#include <QByteArray>

namespace cropling::preflight::walks {

// A PNG without its text chunks (and without an eXIf chunk far larger than any camera writes).
QByteArray withoutPngText(const QByteArray& png);
// Whether a PNG's chunk list runs whole to its end chunk (or to the file's end) and every critical
// chunk (the header, the palette, the pixels) matches its checksum. Decoders find such damage only when they read that
// far, and a decode that has its rows before then would show rows of a damaged chunk.
bool hasWholeChunks(const QByteArray& png);
// Whether a GIF's blocks run whole from its header to its trailer (or to the file's end between
// two blocks): one cut inside a frame would otherwise pass for an animation of the frames before.
bool hasWholeGifBlocks(const QByteArray& gif);
// Whether a JPEG has more scans than kMaxJpegScans.
bool hasTooManyScans(const QByteArray& jpeg);
// An animated WebP cut after the frame past the most an animation may have.
QByteArray boundedWebpFrames(const QByteArray& webp);
// A TIFF cut after its first page.
QByteArray firstTiffPage(QByteArray tiff);

} // namespace cropling::preflight::walks
