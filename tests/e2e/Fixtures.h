#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace cropling::e2e {

// A folder for one test's files, removed afterwards.
QString scratchFolder();

// A landscape photo stand-in whose colour changes along x, so any pan shows in the output.
QString writeLandscape(const QString& name, int width = 1600, int height = 1200);

// PNG bytes as pixels; null for anything that is not a PNG.
QImage decodePng(const QByteArray& bytes);

// The mean absolute difference of two same-sized pictures over all channels, in levels.
double meanDifference(const QImage& a, const QImage& b);

} // namespace cropling::e2e
