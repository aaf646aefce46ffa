// Video clips through the export job, as `render` and the window use it, and in the editor: spans
// keep their length and the chat service's caps, sound alone and cut files say why, and a span's
// change is one step that exports wait for.

#include "ClipFixtures.h"
#include "PictureFixtures.h"

#include "core/Animation.h"
#include "core/ChatTarget.h"
#include "image/DecoderSession.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"
#include "model/ExportJob.h"
#include "model/PictureLoader.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

namespace {

ExportOutcome renderClip(const QByteArray& path, FramingRequest framing, ExportFormat format = ExportFormat::Gif) {
    const ExportRequest request{format, kEmojiSide, gifLimitsOf(defaultChatTarget())};
    return ExportJob(urlFromLocalPath(path), framing, request, QFile::decodeName(path)).run();
}

// How long a GIF plays once, from its frames' delays.
long long playedMs(const QByteArray& gif) {
    const vips::VImage all = vips::VImage::new_from_buffer(gif.constData(), size_t(gif.size()), "", vips::VImage::option()->set("n", -1));
    long long total = 0;
    for (const int delay : all.get_array_int("delay"))
        total += delay;
    return total;
}

FramingRequest span(std::optional<qint64> startMs, std::optional<qint64> endMs, double speed = 1.0) {
    FramingRequest framing;
    framing.clipStartMs = startMs;
    framing.clipEndMs = endMs;
    framing.clipSpeed = speed;
    return framing;
}

} // namespace

// An MP4 span, a whole WebM, a MOV span played faster, and a phone clip turned by its metadata:
// each keeps the span's length to within 5 %, fits the caps, and is the size the chat takes.
TEST(Clip, ASpanKeepsItsLengthAndTheCapsInEveryContainer) {
    const QByteArray mp4 = clipFile(QStringLiteral("pan.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                                                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}, 6);
    const QByteArray webm = clipFile(QStringLiteral("pan.webm"), {QStringLiteral("-c:v"), QStringLiteral("libvpx-vp9"),
                                                                  QStringLiteral("-b:v"), QStringLiteral("300k")}, 2);
    const QByteArray mov = clipFile(QStringLiteral("pan.mov"), {QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                                                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}, 6, 30);
    ASSERT_FALSE(mp4.isEmpty() || webm.isEmpty() || mov.isEmpty());
    struct Case {
        QByteArray path;
        FramingRequest framing;
        long long expectedMs;
    };
    for (const Case& c : {Case{mp4, span(1500, 4000), 2500}, Case{webm, span(std::nullopt, std::nullopt), 2000},
                          Case{mov, span(2000, 5000, 2.0), 1500}, Case{mp4, span(5000, std::nullopt), 1000}}) {
        SCOPED_TRACE(c.path.constData());
        const ExportOutcome outcome = renderClip(c.path, c.framing);
        ASSERT_TRUE(outcome) << describe(outcome).toStdString();
        ASSERT_TRUE(outcome.emoji->gif);
        EXPECT_LE(outcome.emoji->bytes.size(), 131'072);
        EXPECT_LE(outcome.emoji->frames, 50);
        EXPECT_GT(outcome.emoji->frames, 5);
        EXPECT_NEAR(double(playedMs(outcome.emoji->bytes)), double(c.expectedMs), 0.05 * double(c.expectedMs));
    }

    // The scripted run's and a PNG's emoji is the span's first frame, 128 x 128.
    const ExportOutcome still = renderClip(mp4, span(1500, 4000), ExportFormat::Png);
    ASSERT_TRUE(still);
    const Rgba first = decodePng(still.emoji->bytes);
    EXPECT_EQ(first.width, 128);
    EXPECT_EQ(first.height, 128);

    // Rotation metadata: a clip filmed upright on a phone shows taller than it is coded.
    const QByteArray turned = tempFolder() + "/turned.mp4";
    QFile::remove(QFile::decodeName(turned));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                            QStringLiteral("-i"), QFile::decodeName(mp4), QStringLiteral("-c"), QStringLiteral("copy"),
                                            QStringLiteral("-metadata:s:v:0"), QStringLiteral("rotate=90"), QFile::decodeName(turned)});
    ASSERT_TRUE(ffmpeg.waitForFinished(30'000));
    auto session = std::make_shared<DecoderSession>();
    ASSERT_TRUE(session->start(openPictureFile(turned)));
    const auto opened = session->openForRender();
    ASSERT_TRUE(opened);
    EXPECT_EQ((*opened.value)->fullSize(), QSize(270, 480));
}

// Sound alone is refused with that reason, and a clip cut short renders the frames it holds or
// says why; neither hangs or takes the program with it.
TEST(Clip, SoundAloneAndCutClipsEndWithAReason) {
    for (const QString& name : {QStringLiteral("song.m4a"), QStringLiteral("song.mp3"), QStringLiteral("song.ogg")}) {
        const QByteArray sound = soundFile(name, {});
        ASSERT_FALSE(sound.isEmpty()) << name.toStdString();
        const ExportOutcome outcome = renderClip(sound, {});
        EXPECT_FALSE(outcome) << name.toStdString();
        EXPECT_EQ(outcome.why, OpenFailure::NoVideo) << name.toStdString();
        EXPECT_TRUE(describe(outcome).contains(name)) << describe(outcome).toStdString();
    }

    const QByteArray whole = readFile(clipFile(QStringLiteral("cut-source.mp4"),
                                               {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"),
                                                QStringLiteral("yuv420p"), QStringLiteral("-movflags"), QStringLiteral("+faststart")}, 4));
    ASSERT_FALSE(whole.isEmpty());
    for (const qsizetype kept : {whole.size() * 6 / 10, whole.size() / 10, qsizetype(40), qsizetype(13)}) {
        const QByteArray cut = writeTempFile("cut.mp4", whole.left(kept));
        const ExportOutcome outcome = renderClip(cut, span(0, 4000));
        if (outcome) {
            EXPECT_LE(playedMs(outcome.emoji->bytes), 4000) << kept;
        } else {
            EXPECT_TRUE(outcome.why == OpenFailure::Damaged || outcome.why == OpenFailure::NotPicture) << kept;
        }
    }
    // The faststart clip cut at 60 % still has most of its frames.
    const ExportOutcome most = renderClip(writeTempFile("cut.mp4", whole.left(whole.size() * 6 / 10)), span(0, 2000));
    ASSERT_TRUE(most) << describe(most).toStdString();
}

// A span that starts past the clip's end is refused with the clip's length; one that ends past it
// is cut there and says so; a span of large squares takes fewer frames, each shown longer, rather
// than being refused as too large a file.
TEST(Clip, ASpanPastTheEndOrOfLargeSquaresSaysWhatBecameOfIt) {
    const QByteArray mp4 = clipFile(QStringLiteral("pan.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                                                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}, 6);
    ASSERT_FALSE(mp4.isEmpty());
    const ExportOutcome past = renderClip(mp4, span(10'000, 20'000));
    ASSERT_FALSE(past);
    EXPECT_EQ(past.failure, ExportFailure::SpanPastEnd);
    EXPECT_TRUE(describe(past).contains(QStringLiteral("0:06.0"))) << describe(past).toStdString();

    const ExportOutcome cut = renderClip(mp4, span(5000, 20'000));
    ASSERT_TRUE(cut) << describe(cut).toStdString();
    EXPECT_NEAR(double(playedMs(cut.emoji->bytes)), 1000.0, 50.0);
    EXPECT_TRUE(cut.note.contains(QStringLiteral("0:05.0–0:06.0"))) << cut.note.toStdString();
    EXPECT_TRUE(renderClip(mp4, span(1000, 3000)).note.isEmpty());
    // Past what an animation plays (60 s, at half speed 30 s of the clip): taken as it can be,
    // with a line that says so.
    const QByteArray minutes = clipFile(QStringLiteral("minutes.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                                                        QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")},
                                        70, 2, 64, 36);
    ASSERT_FALSE(minutes.isEmpty());
    const ExportOutcome slow = renderClip(minutes, span(0, 50'000, 0.5));
    ASSERT_TRUE(slow) << describe(slow).toStdString();
    EXPECT_TRUE(slow.note.contains(QStringLiteral("0:00.0–0:30.0"))) << slow.note.toStdString();

    const ExportRequest large{ExportFormat::Gif, kMaxOutputSize, gifLimitsOf(defaultChatTarget())};
    // 105 frames of 40 ms in fours: the last square stands for one frame and shows as long.
    const ExportOutcome squares = ExportJob(urlFromLocalPath(mp4), span(0, 4200), large, QFile::decodeName(mp4)).run();
    ASSERT_TRUE(squares) << describe(squares).toStdString();
    EXPECT_NEAR(double(playedMs(squares.emoji->bytes)), 4200.0, 20.0);
}

// In the window: a span moved is one step that undo takes back, the animation shown becomes that
// span's, and a copy asked for at once carries the new span, not the old.
TEST(Clip, ASpanChangeIsOneStepAndTheExportWaitsForItsFrames) {
    const QByteArray mp4 = clipFile(QStringLiteral("pan.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                                                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}, 6);
    EmojiEditor editor;
    editor.setBackgroundWork(true);
    editor.decodeForScreen(1.0);
    editor.load(urlFromLocalPath(mp4));
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.image() && !editor.isBusy() && !editor.isFirstLook(); }, 20'000));
    ASSERT_TRUE(editor.hasClip());
    EXPECT_EQ(editor.clip().span, defaultSpan(editor.clip().source->durationMs()));
    const long long before = animationDuration(editor.image()->frameDelays());
    EXPECT_NEAR(double(before), 3000.0, 150.0);

    QByteArray saved = tempFolder() + "/span.gif";
    QFile::remove(QFile::decodeName(saved));
    editor.setSaveDialog([&](const QString&) { return std::optional(saved); });
    editor.setSpan({2000, 3000, 1.0});
    EXPECT_EQ(editor.undoStack()->undoText(), QStringLiteral("Change Span"));
    editor.save();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor.isDecodingSpan() && !editor.isExporting() && QFile::exists(QFile::decodeName(saved)); },
                                30'000));
    // The new span's frames come at the clip's own rate (25 a second), as its first span's did.
    EXPECT_EQ(editor.image()->frameDelays(), std::vector<int>(25, 40));
    EXPECT_NEAR(double(playedMs(readFile(saved))), 1000.0, 50.0);

    editor.undoStack()->undo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor.isDecodingSpan(); }, 20'000));
    EXPECT_EQ(editor.clip().span, defaultSpan(editor.clip().source->durationMs()));
    EXPECT_NEAR(double(animationDuration(editor.image()->frameDelays())), double(before), 50.0);
}
