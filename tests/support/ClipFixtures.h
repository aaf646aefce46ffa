#pragma once

// Video clips made for the tests by the ffmpeg program from a real photograph (scikit-image's
// coffee cup), the camera panning across it so that every frame differs: the clips people bring,
// in the containers and codecs they come in. Each is made once per run.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace cropling::test {

// The clip's path: `seconds` long at `fps`, `width` x `height`, written with ffmpeg's output
// options `encoding` (codec and container) to a file of that name. Empty when ffmpeg failed.
QByteArray clipFile(const QString& fileName, const QStringList& encoding, double seconds = 4, int fps = 25,
                    int width = 480, int height = 270);

// A file of sound alone, with ffmpeg's output options for its codec.
QByteArray soundFile(const QString& fileName, const QStringList& encoding);

} // namespace cropling::test
