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

// The file ffmpeg writes with these arguments (inputs, filters, codecs) into the test's folder
// under `name`; empty when ffmpeg failed.
QByteArray ffmpegOutput(const QByteArray& name, const QStringList& arguments);

// The first frame of a clip as ffmpeg's own decoder shows it, through its video filters `filters`
// (empty: none), as RGBA rows; empty when ffmpeg failed.
struct FirstFrame {
    int width = 0;
    int height = 0;
    QByteArray rgba;
};
FirstFrame ffmpegFirstFrame(const QByteArray& path, const QString& filters = {});

// An MP4's or MOV's bytes with the video track's display matrix set to x' = a x + c y,
// y' = b x + d y (each -1, 0 or 1), as cameras write it for a turn or a mirror.
QByteArray withDisplayMatrix(QByteArray movie, int a, int b, int c, int d);

// A file of sound alone, with ffmpeg's output options for its codec.
QByteArray soundFile(const QString& fileName, const QStringList& encoding);

} // namespace cropling::test
