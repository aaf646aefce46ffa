#pragma once

#include <QStringList>

namespace cropling {

// The picture types this program opens, as MIME types: what the file chooser offers and the
// README lists. A test opens a sample of each.
QStringList openableMimeTypes();

// Whether a picture with these first bytes is read by one of libvips' loadable modules (HEIF and
// AVIF, which are ISO media files, and JPEG XL) rather than by a loader built into it.
bool needsLoadableModule(const QByteArray& head);

// Whether a picture with these first bytes is one the direct helper renders without libvips: a
// JPEG, PNG or WebP (it may still leave a particular file to libvips).
bool rendersDirectly(const QByteArray& head);
// Whether the direct helper also gives such a picture's first look: a JPEG, which it decodes
// reduced from its DCT.
bool looksFirstDirectly(const QByteArray& head);

// Whether a file with these first bytes (at least 12; 64 to see an ISO file's brands) is a video clip, or a sound file, which the
// video helper takes: an ISO media file that is not a HEIF or AVIF picture (MP4, M4V, MOV, M4A), a
// Matroska or WebM file, an older QuickTime file, or MP3, WAVE, Ogg, FLAC or AAC sound (which
// it refuses as holding no video).
bool isClip(const QByteArray& head);

// The video types this program opens, for the file chooser.
QStringList openableClipTypes();

} // namespace cropling
