// How fast a video clip becomes an emoji: the time to its first frame as the window asks for it
// (the first look), to the frames of its default span and of a span far into it at the window's
// working resolution, and to a fitted GIF of the default span through the export job.
//
//   build/bench/clip_bench CLIP...

#include "core/ChatTarget.h"
#include "core/CropGeometry.h"
#include "image/DecoderSession.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"
#include "io/LocalPath.h"
#include "model/ClipSource.h"
#include "model/ExportJob.h"
#include "model/PictureLoader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

using namespace cropling;

namespace {

double secondsSince(const QElapsedTimer& clock) { return double(clock.nsecsElapsed()) / 1e9; }

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    VipsLayer::get(); // loaded once, as a window has it loaded before a clip comes
    // As a window on a screen of pixel ratio 1 asks: the first frame at the working resolution,
    // the span's frames at one and a half times the square.
    const int side = workingShorterSide(1.0);
    const int clipSide = int(kCropSide) * 3 / 2;
    std::printf("%-24s %10s %12s %12s %14s %12s %8s\n", "clip", "first look", "3 s, bare", "3 s, shown", "at 60%, shown",
                "fitted GIF", "GIF KB");
    for (int i = 1; i < argc; ++i) {
        const QByteArray path(argv[i]);
        QElapsedTimer clock;
        clock.start();
        auto session = std::make_shared<DecoderSession>();
        if (!session->start(openPictureFile(path))) {
            std::fprintf(stderr, "%s: no helper\n", argv[i]);
            return 1;
        }
        const auto first = session->decode(side);
        const double firstLook = secondsSince(clock);
        if (!first || !session->holdsClip()) {
            std::fprintf(stderr, "%s: not opened as a clip\n", argv[i]);
            return 1;
        }
        const ClipSource source(openPictureFile(path), session->clipMs(), session->clipFrameMs());
        // The frames alone, as the helper hands them over, and then with their display copies made.
        clock.restart();
        session->setSpan(defaultSpan(source.durationMs()));
        const auto bare = session->frames(clipSide);
        const double bareTime = secondsSince(clock);
        clock.restart();
        const auto frames = source.frames(defaultSpan(source.durationMs()), 1, clipSide);
        const double spanTime = secondsSince(clock);
        const qint64 far = source.durationMs() * 6 / 10;
        clock.restart();
        const auto later = source.frames(clampedSpan({far, far + kDefaultSpanMs, 1.0}, source.durationMs()), 1, clipSide);
        const double farTime = secondsSince(clock);
        clock.restart();
        ExportRequest request{ExportFormat::Gif, kEmojiSide, gifLimitsOf(defaultChatTarget())};
        const ExportOutcome gif = ExportJob(urlFromLocalPath(path), FramingRequest{}, request, QString::fromLocal8Bit(path)).run();
        const double gifTime = secondsSince(clock);
        if (!bare || !frames || !later || !gif) {
            std::fprintf(stderr, "%s: a step failed\n", argv[i]);
            return 1;
        }
        std::printf("%-24s %8.3f s %10.3f s %10.3f s %12.3f s %10.3f s %8.1f\n",
                    QFile::decodeName(path).section(u'/', -1).toLocal8Bit().constData(), firstLook, bareTime, spanTime, farTime,
                    gifTime, double(gif.emoji->bytes.size()) / 1024.0);
    }
    return 0;
}
