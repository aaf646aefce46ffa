// The video helper on the clips phones and sites make: any width and height, the pixel formats
// their encoders write, and display matrices that turn or mirror the picture. Each frame must come
// out whole, as ffmpeg's own decoder shows it.

#include "ClipFixtures.h"
#include "PictureFixtures.h"

#include "image/DecoderSession.h"
#include "model/PictureLoader.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace cropling;
using namespace cropling::test;

namespace {

// The first frame as the video helper gives it, full size and upright.
std::optional<DecoderSession::PlainPixels> helperFirstFrame(const QByteArray& path) {
    auto session = std::make_shared<DecoderSession>();
    if (!session->start(openPictureFile(path)))
        return std::nullopt;
    auto decoded = session->decodePixels(0);
    return decoded ? std::move(decoded.value) : std::nullopt;
}

// The mean difference per channel of two RGBA frames of one size; infinite for different sizes.
double meanDifference(const PixelRows& ours, const FirstFrame& theirs) {
    if (ours.width != theirs.width || ours.height != theirs.height || ours.bands != 4 ||
        theirs.rgba.size() != qsizetype(ours.bytes.size()))
        return INFINITY;
    double sum = 0;
    for (size_t i = 0; i < ours.bytes.size(); ++i)
        sum += std::abs(int(ours.bytes[i]) - int(std::uint8_t(theirs.rgba[qsizetype(i)])));
    return sum / double(ours.bytes.size());
}

QStringList encoder(const char* codec, const char* pixelFormat) {
    return {QStringLiteral("-c:v"), QString::fromLatin1(codec), QStringLiteral("-pix_fmt"), QString::fromLatin1(pixelFormat)};
}

} // namespace

// The scaler writes rows in blocks of pixels: a frame whose width is no multiple of 16 must still
// come out whole and in place, in each pixel format a phone, a camera or a screen recorder writes.
TEST(VideoHelper, EveryWidthAndPixelFormatDecodesAsFfmpegShowsIt) {
    struct Case {
        int width, height;
        const char* codec;
        const char* pixelFormat;
        const char* suffix;
    };
    const Case cases[] = {{426, 240, "libx264", "yuv420p", "mp4"},      {120, 90, "libx264", "yuv420p", "mp4"},
                          {200, 200, "libvpx-vp9", "yuv420p", "webm"},  {88, 72, "libx264", "yuv420p", "mov"},
                          {10, 10, "libvpx-vp9", "yuv420p", "webm"},    {854, 480, "libx264", "yuv420p", "mp4"},
                          {360, 480, "libx264", "yuv420p", "mp4"},      {99, 67, "libx264", "yuv444p", "mkv"},
                          {3, 2, "libx264", "yuv444p", "mp4"},          {150, 86, "libx264", "yuv422p10le", "mkv"},
                          {130, 70, "libvpx-vp9", "yuva420p", "webm"},  {66, 50, "mpeg4", "yuv420p", "mp4"},
                          {98, 54, "libx265", "yuv420p", "mp4"},        {74, 42, "libvpx", "yuv420p", "webm"}};
    for (const Case& c : cases) {
        const QString name = QStringLiteral("%1x%2-%3-%4.%5").arg(c.width).arg(c.height).arg(QString::fromLatin1(c.codec),
                                                                                                QString::fromLatin1(c.pixelFormat),
                                                                                                QString::fromLatin1(c.suffix));
        SCOPED_TRACE(name.toStdString());
        QStringList encoding = encoder(c.codec, c.pixelFormat);
        if (QByteArray(c.codec) == "libx265")
            encoding += {QStringLiteral("-x265-params"), QStringLiteral("log-level=none")};
        const QByteArray path = clipFile(name, encoding, 0.4, 10, c.width, c.height);
        ASSERT_FALSE(path.isEmpty());
        const FirstFrame theirs = ffmpegFirstFrame(path);
        ASSERT_EQ(theirs.width, c.width);
        const auto ours = helperFirstFrame(path);
        if (!ours) {
            ADD_FAILURE() << "refused";
            continue;
        }
        EXPECT_EQ(ours->fullSize, QSize(c.width, c.height));
        EXPECT_LT(meanDifference(ours->rows, theirs), 6.0);
    }
}

// Each of the eight ways a display matrix can land the picture (turns, a front camera's mirror,
// flips and the two diagonals) shows the frame as ffmpeg's own filters for that landing do, and
// as none of the other seven.
TEST(VideoHelper, DisplayMatricesTurnAndMirrorAsFfmpegShowsThem) {
    const QByteArray source = clipFile(QStringLiteral("matrix-source.mp4"), encoder("libx264", "yuv444p"), 0.4, 10, 96, 64);
    ASSERT_FALSE(source.isEmpty());
    struct Landing {
        int a, b, c, d;
        const char* filters;
    };
    const Landing landings[] = {{1, 0, 0, 1, "null"},           {-1, 0, 0, 1, "hflip"},        {-1, 0, 0, -1, "hflip,vflip"},
                                {1, 0, 0, -1, "vflip"},         {0, 1, 1, 0, "transpose=0"},   {0, 1, -1, 0, "transpose=1"},
                                {0, -1, -1, 0, "transpose=3"},  {0, -1, 1, 0, "transpose=2"}};
    std::vector<FirstFrame> expected;
    for (const Landing& landing : landings) {
        expected.push_back(ffmpegFirstFrame(source, QString::fromLatin1(landing.filters)));
        ASSERT_GT(expected.back().width, 0) << landing.filters;
    }
    const QByteArray movie = readFile(source);
    for (size_t i = 0; i < std::size(landings); ++i) {
        const Landing& landing = landings[i];
        SCOPED_TRACE(landing.filters);
        const QByteArray path = writeTempFile("matrix-" + QByteArray::number(int(i)) + ".mp4",
                                              withDisplayMatrix(movie, landing.a, landing.b, landing.c, landing.d));
        const auto ours = helperFirstFrame(path);
        ASSERT_TRUE(ours);
        const double own = meanDifference(ours->rows, expected[i]);
        EXPECT_LT(own, 4.0);
        for (size_t j = 0; j < expected.size(); ++j) {
            if (j == i)
                continue;
            EXPECT_GT(meanDifference(ours->rows, expected[j]), own + 4.0) << "also like " << landings[j].filters;
        }
    }
}

// The first track the helper decodes is used when an earlier one is in another codec, and a clip
// in a codec it does not take is named.
TEST(VideoHelper, TheFirstDecodableTrackIsUsedAndAnotherCodecIsNamed) {
    const QByteArray one = readFile(clipFile(QStringLiteral("tracks-source.mp4"), encoder("libx264", "yuv420p"), 1, 10, 160, 90));
    ASSERT_FALSE(one.isEmpty());

    const QByteArray ffv1 = clipFile(QStringLiteral("archive.mkv"), {QStringLiteral("-c:v"), QStringLiteral("ffv1")}, 0.4, 10, 64, 36);
    ASSERT_FALSE(ffv1.isEmpty());
    auto refused = std::make_shared<DecoderSession>();
    ASSERT_TRUE(refused->start(openPictureFile(ffv1)));
    const auto header = refused->openForRender();
    EXPECT_EQ(header.why, OpenFailure::UnsupportedCodec);
    EXPECT_EQ(refused->refusedCodec(), VideoCodec::Ffv1);

    // FFV1 first, H.264 second: the second is shown.
    const QByteArray source = tempFolder() + "/tracks-source.mp4";
    const QByteArray second = ffmpegOutput("second-stream.mkv", {QStringLiteral("-i"), QFile::decodeName(ffv1), QStringLiteral("-i"),
                                                                 QFile::decodeName(source), QStringLiteral("-map"), QStringLiteral("0:v"),
                                                                 QStringLiteral("-map"), QStringLiteral("1:v"), QStringLiteral("-c"),
                                                                 QStringLiteral("copy")});
    ASSERT_FALSE(second.isEmpty());
    const auto shown = helperFirstFrame(second);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->fullSize, QSize(160, 90));

    // Eight sound tracks beside the video, whose first frame comes a few milliseconds in (Opus),
    // or whose size only the probe reads (MPEG-4 Part 2): the dropped tracks leave the video's
    // start and size as they were.
    QStringList eight;
    for (int i = 0; i < 8; ++i)
        eight += {QStringLiteral("-map"), QStringLiteral("1:a")};
    const QStringList sound = {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=d=1"),
                               QStringLiteral("-map"), QStringLiteral("0:v")};
    for (const auto& [name, codecs] :
         {std::pair{QByteArray("nine-tracks.mkv"), QStringList{QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-c:a"),
                                                                QStringLiteral("libopus")}},
          std::pair{QByteArray("nine-tracks.mp4"), QStringList{QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-c:a"),
                                                                QStringLiteral("aac")}}}) {
        SCOPED_TRACE(name.constData());
        const QByteArray tracks = ffmpegOutput(name, QStringList{QStringLiteral("-i"), QFile::decodeName(source)} + sound + eight + codecs);
        ASSERT_FALSE(tracks.isEmpty());
        const auto first = helperFirstFrame(tracks);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->fullSize, QSize(160, 90));
    }
}

// A sticker's WebM keeps its alpha beside each frame: the transparent half of a VP9 or VP8 clip
// comes out transparent, the other half opaque.
TEST(VideoHelper, AWebmsAlphaIsKept) {
    for (const char* codec : {"libvpx-vp9", "libvpx"}) {
        SCOPED_TRACE(codec);
        const QByteArray clip = ffmpegOutput(
            QByteArray("half-clear-") + codec + ".webm",
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc2=s=96x64:r=10:d=0.5"),
             QStringLiteral("-vf"), QStringLiteral("format=yuva420p,geq=lum='lum(X,Y)':cb='cb(X,Y)':cr='cr(X,Y)':a='if(lt(X,48),0,255)'"),
             QStringLiteral("-c:v"), QString::fromLatin1(codec), QStringLiteral("-pix_fmt"), QStringLiteral("yuva420p"),
             QStringLiteral("-auto-alt-ref"), QStringLiteral("0")});
        ASSERT_FALSE(clip.isEmpty());
        const auto ours = helperFirstFrame(clip);
        ASSERT_TRUE(ours);
        ASSERT_EQ(ours->fullSize, QSize(96, 64));
        const PixelRows& rows = ours->rows;
        EXPECT_LT(rows.row(32)[10 * 4 + 3], 16);
        EXPECT_GT(rows.row(32)[80 * 4 + 3], 240);
    }
}

// A clip whose container does not say how long it is (written as a live stream): a span that
// starts after its last frame is told from a damaged file, and one within it renders.
TEST(VideoHelper, ASpanPastTheEndOfAClipOfUnknownLengthSaysSo) {
    const QByteArray live = ffmpegOutput("live.mkv", {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                                      QStringLiteral("testsrc2=s=160x90:r=25:d=2"), QStringLiteral("-c:v"),
                                                      QStringLiteral("libx264"), QStringLiteral("-live"), QStringLiteral("1")});
    ASSERT_FALSE(live.isEmpty());
    for (const auto& [start, past] : {std::pair{qint64(5000), true}, std::pair{qint64(2000), true}, std::pair{qint64(500), false}}) {
        SCOPED_TRACE(start);
        auto session = std::make_shared<DecoderSession>();
        ASSERT_TRUE(session->start(openPictureFile(live)));
        ASSERT_TRUE(session->openForRender());
        EXPECT_EQ(session->clipMs(), 0);
        session->setSpan({start, start + 1000, 1.0});
        const auto squares = session->renderFrames({1, {0, 0}}, 32);
        EXPECT_EQ(bool(squares), !past);
        if (past) {
            EXPECT_EQ(squares.why, OpenFailure::SpanPastEnd);
        }
    }
}
