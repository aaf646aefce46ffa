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

} // namespace cropling
