#include "PictureFixtures.h"

#include "model/EmojiEditor.h"
#include "io/LocalPath.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

using namespace cropling;
using namespace cropling::test;
using vips::VImage;

namespace {

QUrl fileUrl(const QByteArray& path) { return urlFromLocalPath(path); }

// A 60 x 40 picture, red in its top-left corner, blue elsewhere.
VImage markedLandscape() {
    return makeImage(60, 40, 3, [](int x, int y, int b) {
        const bool corner = x < 10 && y < 10;
        return b == 0 ? (corner ? 255 : 0) : b == 2 ? (corner ? 0 : 255) : 0;
    });
}

// The pixel of a loaded picture, as RGB(A) bytes.
std::vector<int> pixelOf(const Picture& picture, int x, int y) {
    std::vector<int> out;
    for (double v : picture.pixels().getpoint(x, y))
        out.push_back(int(v));
    return out;
}

// A PNG whose header claims a huge size but whose data is a few bytes.
QByteArray pngClaiming(uint32_t width, uint32_t height) {
    auto chunk = [](const char* type, const QByteArray& body) {
        QByteArray c;
        const uint32_t len = uint32_t(body.size());
        c.append(char(len >> 24)).append(char(len >> 16)).append(char(len >> 8)).append(char(len));
        QByteArray typed = QByteArray(type) + body;
        c.append(typed);
        const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size())));
        c.append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
        return c;
    };
    QByteArray ihdr;
    for (uint32_t v : {width, height})
        ihdr.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    ihdr.append(char(8)).append(char(2)).append(char(0)).append(char(0)).append(char(0));
    const QByteArray idat = QByteArray::fromHex("789c030000000001");
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", idat) + chunk("IEND", {});
}

} // namespace

TEST(Loading, DecodesByContentAndDerivesTheName) {
    EmojiEditor editor;
    // A PNG that calls itself a JPEG.
    editor.load(fileUrl(writeTempFile("My Cat Photo.JPG", encode(markedLandscape(), ".png"))));
    ASSERT_TRUE(editor.image());
    EXPECT_EQ(editor.image()->pixelWidth(), 60);
    EXPECT_EQ(editor.emojiName(), QStringLiteral("my-cat-photo"));
    EXPECT_FALSE(editor.status()->message());
}

TEST(Loading, TurnsPicturesUprightByTheirOrientationTag) {
    VImage tagged = markedLandscape().copy();
    tagged.set("orientation", 6); // stored sideways; shown turned 90 degrees clockwise
    EmojiEditor editor;
    editor.load(fileUrl(writeTempFile("sideways.jpg", encode(tagged, ".jpg", VImage::option()->set("Q", 95)))));
    ASSERT_TRUE(editor.image());
    EXPECT_EQ(editor.image()->pixelWidth(), 40);
    EXPECT_EQ(editor.image()->pixelHeight(), 60);
    // The stored top-left corner is now at the top-right.
    EXPECT_GT(pixelOf(*editor.image(), 35, 4)[0], 200);
    EXPECT_LT(pixelOf(*editor.image(), 4, 4)[0], 60);
}

TEST(Loading, ConvertsProfilesGreyAndSixteenBitToEightBitSrgb) {
    // Pure sRGB red stored with a Display P3 profile comes back as sRGB red.
    const VImage red = makeImage(8, 8, 3, [](int, int, int b) { return b == 0 ? 255 : 0; });
    const VImage p3 = red.icc_transform("p3", VImage::option()->set("input_profile", "srgb")->set("embedded", false));
    EmojiEditor editor;
    editor.load(fileUrl(writeTempFile("p3.png", encode(p3, ".png"))));
    ASSERT_TRUE(editor.image());
    const auto rgb = pixelOf(*editor.image(), 3, 3);
    EXPECT_GT(rgb[0], 245);
    EXPECT_LT(rgb[1], 12);
    EXPECT_LT(rgb[2], 12);

    // 16-bit grey with alpha becomes 8-bit RGBA.
    const VImage grey16 = (makeImage(5, 5, 2, [](int, int, int b) { return b == 0 ? 128 : 255; }).cast(VIPS_FORMAT_USHORT) * 257)
                              .cast(VIPS_FORMAT_USHORT)
                              .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_GREY16));
    editor.load(fileUrl(writeTempFile("grey16.png", encode(grey16, ".png", VImage::option()->set("bitdepth", 16)))));
    ASSERT_EQ(editor.image()->pixels().bands(), 4);
    EXPECT_EQ(editor.image()->pixels().format(), VIPS_FORMAT_UCHAR);
    EXPECT_NEAR(pixelOf(*editor.image(), 2, 2)[1], 128, 1);
    EXPECT_EQ(editor.emojiName(), QStringLiteral("grey16"));
}

TEST(Loading, ExtremeAspectLoadsButRendersNothing) {
    EmojiEditor editor;
    editor.load(fileUrl(writeTempFile("line.png", encode(makeImage(1, 10000, 3, [](int, int y, int) { return y % 256; }), ".png"))));
    ASSERT_TRUE(editor.image());
    EXPECT_FALSE(editor.renderEmojiPNG(128));
}

TEST(Loading, FailureKeepsTheEditorAndSuccessClearsTheMessage) {
    EmojiEditor editor;
    editor.load(fileUrl(writeTempFile("first.png", encode(markedLandscape(), ".png"))));
    editor.setZoom(2);
    editor.setOffset({-20, 0});
    const QPointF offset = editor.offset();
    ASSERT_NE(offset.x(), 0);

    editor.load(fileUrl(writeTempFile("notes.txt", "just some words\n")));
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't open notes.txt: not a picture Cropling can open"));
    EXPECT_EQ(editor.emojiName(), QStringLiteral("first"));
    EXPECT_EQ(editor.zoom(), 2);
    EXPECT_EQ(editor.offset(), offset);

    editor.load(fileUrl(writeTempFile("Second One.png", encode(markedLandscape(), ".png"))));
    EXPECT_FALSE(editor.status()->message());
    EXPECT_EQ(editor.zoom(), 1);
    EXPECT_EQ(editor.offset(), QPointF(0, 0));
    EXPECT_EQ(editor.emojiName(), QStringLiteral("second-one"));
}

TEST(Loading, InvalidUtf8FileNamesStillOpen) {
    EmojiEditor editor;
    const QByteArray path = writeTempFile("caf\xe9 \xff.png", encode(markedLandscape(), ".png"));
    editor.load(fileUrl(path));
    ::unlink(path.constData()); // Qt cannot name this file to clean it up
    ASSERT_TRUE(editor.image());
    EXPECT_EQ(editor.emojiName(), QStringLiteral("caf"));
    editor.load(fileUrl(tempFolder() + "/missing \xff.png"));
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't open missing \uFFFD.png: no such file"));
}

TEST(Loading, OnlyRegularFilesAreReadAndNothingHangs) {
    const QByteArray folder = tempFolder();
    const QByteArray fifo = folder + "/pipe.png";
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const QByteArray loop = folder + "/loop.png";
    ASSERT_EQ(::symlink(loop.constData(), loop.constData()), 0);
    ::mkdir((folder + "/folder.png").constData(), 0700);

    EmojiEditor editor;
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray& path : {fifo, loop, folder + "/folder.png", QByteArray("/dev/zero"), folder + "/absent.png"}) {
        editor.load(fileUrl(path));
        const QString reason = path.endsWith("absent.png") ? QStringLiteral(": no such file")
                                                           : QStringLiteral(": not a picture Cropling can open");
        EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't open ") + QString::fromUtf8(lastPathComponent(path)) + reason);
        EXPECT_FALSE(editor.image());
    }
    EXPECT_LT(timer.elapsed(), 5000); // a FIFO or /dev/zero that blocked would never get here
    ::unlink(fifo.constData());
    ::unlink(loop.constData());
    ::rmdir((folder + "/folder.png").constData());
}

TEST(Loading, RefusesDecompressionBombsAndSurvivesTruncation) {
    EmojiEditor editor;
    QElapsedTimer timer;
    timer.start();
    editor.load(fileUrl(writeTempFile("bomb.png", pngClaiming(100000, 100000))));
    EXPECT_FALSE(editor.image());
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't open bomb.png: too large to open safely"));
    EXPECT_LT(timer.elapsed(), 2000);

    const QByteArray jpeg = encode(makeImage(300, 200, 3, [](int x, int y, int) { return (x ^ y) & 255; }), ".jpg");
    for (const qsizetype keep : {jpeg.size() / 2, qsizetype(200), qsizetype(20)}) {
        editor.load(fileUrl(writeTempFile("cut.jpg", jpeg.left(keep))));
        // Either what decodes is shown, or the file is reported; a render never crashes.
        EXPECT_TRUE(editor.image() || editor.status()->message());
        (void)editor.renderEmojiPNG(128);
    }
}
