// Auto-framing's cost: the time to find faces in a picture already decoded at the window's working
// resolution (what the Auto-Frame button does), and the memory that loading the face finder and
// searching add to the process.
//
//   build/bench/face_bench [PICTURE...]     default: a 24 MP camera-like photo and Debian's samples

#include "BenchPhotos.h"

#include "core/CropGeometry.h"
#include "image/FaceFraming.h"
#include "image/Picture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace cropling;

namespace {

long residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::pair<QString, QByteArray>> pictures;
    for (int i = 1; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        if (file.open(QIODevice::ReadOnly))
            pictures.emplace_back(QFileInfo(file).fileName(), file.readAll());
    }
    if (pictures.empty()) {
        pictures.emplace_back(QStringLiteral("24 MP photo"), bench::photoJpeg(24));
        for (const char* sample : {"astronaut.png", "chelsea.png"}) {
            QFile file(QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/") + QLatin1String(sample));
            if (file.open(QIODevice::ReadOnly))
                pictures.emplace_back(QString::fromLatin1(sample), file.readAll());
        }
    }
    std::printf("%-16s %12s %8s %14s %12s\n", "picture", "working px", "faces", "median ms", "added MB");
    for (const auto& [name, bytes] : pictures) {
        const auto picture = Picture::decode(bytes, workingShorterSide(1.0));
        if (!picture)
            continue;
        const long before = residentMb();
        std::vector<qint64> times;
        AutoFramingOutcome outcome;
        for (int run = 0; run < 7; ++run) {
            QElapsedTimer clock;
            clock.start();
            outcome = autoFrame(*picture);
            times.push_back(clock.elapsed());
        }
        std::sort(times.begin(), times.end());
        const QString size = QStringLiteral("%1x%2").arg(picture->pixelWidth()).arg(picture->pixelHeight());
        std::printf("%-16s %12s %8d %14lld %12ld%s\n", qPrintable(name), qPrintable(size),
                    outcome.framing ? outcome.framing->faces : -1, times[times.size() / 2], residentMb() - before,
                    outcome.framing ? "" : qPrintable(QStringLiteral("  ") + outcome.why));
    }
    return 0;
}
