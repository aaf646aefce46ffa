#include "ClipFixtures.h"

#include "PictureFixtures.h"

#include <QFile>
#include <QProcess>

#include <cstdint>

namespace cropling::test {

namespace {

bool runFfmpeg(const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                                                       QStringLiteral("error"), QStringLiteral("-y")} + arguments);
    const bool ran = ffmpeg.waitForFinished(60'000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    if (output)
        *output = ffmpeg.readAllStandardOutput();
    return ran;
}

void putBigEndian(QByteArray* bytes, qsizetype at, std::int32_t value) {
    for (int i = 0; i < 4; ++i)
        (*bytes)[at + i] = char((std::uint32_t(value) >> (24 - 8 * i)) & 0xff);
}

} // namespace

QByteArray clipFile(const QString& fileName, const QStringList& encoding, double seconds, int fps, int width, int height) {
    const QByteArray path = tempFolder() + '/' + QFile::encodeName(fileName);
    if (QFile::exists(QFile::decodeName(path)))
        return path;
    const int frames = int(seconds * fps);
    // The photograph, enlarged, with a window of the clip's size moving across it a few pixels a
    // frame.
    const QString pan = QStringLiteral("scale=%1:-2,crop=%2:%3:x='mod(n*4,iw-%2)':y='ih/2-%3/2+10*sin(n/7)'")
                            .arg(width * 2)
                            .arg(width)
                            .arg(height);
    const QStringList input = {QStringLiteral("-loop"), QStringLiteral("1"), QStringLiteral("-framerate"), QString::number(fps),
                               QStringLiteral("-i"), QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/coffee.png"),
                               QStringLiteral("-vf"), pan, QStringLiteral("-frames:v"), QString::number(frames)};
    return runFfmpeg(input + encoding + QStringList{QFile::decodeName(path)}) ? path : QByteArray();
}

QByteArray ffmpegOutput(const QByteArray& name, const QStringList& arguments) {
    const QByteArray path = tempFolder() + '/' + name;
    return runFfmpeg(arguments + QStringList{QFile::decodeName(path)}) ? path : QByteArray();
}

FirstFrame ffmpegFirstFrame(const QByteArray& path, const QString& filters) {
    QStringList arguments = {QStringLiteral("-i"), QFile::decodeName(path), QStringLiteral("-frames:v"), QStringLiteral("1")};
    if (!filters.isEmpty())
        arguments += {QStringLiteral("-vf"), filters};
    QByteArray probe;
    if (!runFfmpeg(arguments + QStringList{QStringLiteral("-f"), QStringLiteral("image2pipe"), QStringLiteral("-c:v"),
                                          QStringLiteral("pam"), QStringLiteral("-pix_fmt"), QStringLiteral("rgba"),
                                          QStringLiteral("-")},
                   &probe))
        return {};
    // A PAM header names the size, then ENDHDR, then the rows.
    const qsizetype end = probe.indexOf("ENDHDR\n");
    if (end < 0)
        return {};
    FirstFrame frame;
    for (const QByteArray& line : probe.left(end).split('\n')) {
        if (line.startsWith("WIDTH "))
            frame.width = line.mid(6).toInt();
        if (line.startsWith("HEIGHT "))
            frame.height = line.mid(7).toInt();
    }
    frame.rgba = probe.mid(end + 7, qsizetype(frame.width) * frame.height * 4);
    return frame;
}

QByteArray withDisplayMatrix(QByteArray movie, int a, int b, int c, int d) {
    // The track header: its version, then times, ids and reserved words (longer in version 1),
    // then the layer, group, volume and the matrix a, b, u, c, d, v, x, y, w in 16.16.
    const qsizetype tkhd = movie.indexOf("tkhd");
    if (tkhd < 0)
        return {};
    const qsizetype matrix = tkhd + (movie[tkhd + 4] == 1 ? 56 : 44);
    const std::int32_t one = 1 << 16;
    putBigEndian(&movie, matrix, a * one);
    putBigEndian(&movie, matrix + 4, b * one);
    putBigEndian(&movie, matrix + 12, c * one);
    putBigEndian(&movie, matrix + 16, d * one);
    return movie;
}

QByteArray soundFile(const QString& fileName, const QStringList& encoding) {
    const QByteArray path = tempFolder() + '/' + QFile::encodeName(fileName);
    const QStringList input = {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("sine=frequency=440:duration=2")};
    return runFfmpeg(input + encoding + QStringList{QFile::decodeName(path)}) ? path : QByteArray();
}

} // namespace cropling::test
