#include "ClipFixtures.h"

#include "PictureFixtures.h"

#include <QFile>
#include <QProcess>

namespace cropling::test {

namespace {

bool runFfmpeg(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                                                       QStringLiteral("error"), QStringLiteral("-y")} + arguments);
    return ffmpeg.waitForFinished(60'000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
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

QByteArray soundFile(const QString& fileName, const QStringList& encoding) {
    const QByteArray path = tempFolder() + '/' + QFile::encodeName(fileName);
    const QStringList input = {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("sine=frequency=440:duration=2")};
    return runFfmpeg(input + encoding + QStringList{QFile::decodeName(path)}) ? path : QByteArray();
}

} // namespace cropling::test
