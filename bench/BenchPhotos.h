#pragma once

// Camera-like test photos made in memory, so the benchmarks need no large files in the repository.

#include <QByteArray>

namespace cropling::bench {

// A JPEG of about this many megapixels in 4:3: smooth gradients under fine sensor-like noise, so it
// compresses like a real photo. Made once per size and process.
const QByteArray& photoJpeg(int megapixels);

// Writes a photo to a file that is removed when the process ends; returns its path.
QByteArray photoFile(int megapixels);

} // namespace cropling::bench
