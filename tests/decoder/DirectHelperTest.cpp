// The direct helper against the libvips helper: on every kind of file it keeps it renders what the
// libvips helper renders, what it does not keep reaches the libvips helper, and a damaged or
// oversized file fails in both for the same reason.

#include "PictureFixtures.h"

#include "image/DecoderSession.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <zlib.h>

#include <fcntl.h>

#include <cmath>

using namespace cropling;
using namespace cropling::test;
using vips::VImage;

namespace {

struct Rendered {
    std::optional<QByteArray> png;
    std::optional<OpenFailure> failure;
    bool direct = false; // the direct helper kept the file to the end
};

// A headless render of the file (`forRender`: as a save asks, which a JPEG, PNG or WebP sends to
// the direct helper), or as the window's session asks, which only the libvips helper serves.
// The file is handed over as a saved picture is, open on a descriptor that both helpers share.
Rendered renderThrough(const QByteArray& file, bool forRender, double zoom = 1.0, QPointF offset = {}) {
    auto session = std::make_shared<DecoderSession>();
    const int fd = ::open(writeTempFile("picture", file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !session->start(PictureInput::file(fd), forRender))
        return {};
    auto opened = session->openForRender();
    if (!opened)
        return {std::nullopt, opened.why, session->heldByDirectHelper()};
    auto png = session->render({zoom, offset}, 128);
    return {png.value, png.why, session->heldByDirectHelper()};
}

VImage withAlpha(const VImage& rgb) {
    return rgb.bandjoin(makeImage(rgb.width(), rgb.height(), 1, [&](int x, int y, int) { return (x + y) % 256 < 40 ? 0 : 200; }));
}

// A PNG whose header says width x height, with pixel data far too short for it.
QByteArray pngClaiming(quint32 width, quint32 height) {
    QByteArray ihdr("IHDR");
    ihdr.append(8, '\0');
    qToBigEndian(width, ihdr.data() + 4);
    qToBigEndian(height, ihdr.data() + 8);
    ihdr.append("\x08\x02\x00\x00\x00", 5);
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray length(4, '\0');
    qToBigEndian(quint32(13), length.data());
    QByteArray crc(4, '\0');
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(ihdr.constData()), uInt(ihdr.size()))), crc.data());
    return png + length + ihdr + crc;
}

// An RGB PNG with a colour key: every pixel of exactly (r, g, b) is transparent (a tRNS chunk
// of three 16-bit samples before the pixel data).
QByteArray withColourKey(const QByteArray& rgbPng, quint16 r, quint16 g, quint16 b) {
    QByteArray chunk("tRNS");
    chunk.append(6, '\0');
    qToBigEndian(r, chunk.data() + 4);
    qToBigEndian(g, chunk.data() + 6);
    qToBigEndian(b, chunk.data() + 8);
    QByteArray length(4, '\0');
    qToBigEndian(quint32(6), length.data());
    QByteArray crc(4, '\0');
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()))), crc.data());
    QByteArray png = rgbPng;
    png.insert(png.indexOf("IDAT") - 4, length + chunk + crc);
    return png;
}

// The file with one bit flipped at `at`.
QByteArray flipped(QByteArray file, qsizetype at) {
    file[at] = char(file[at] ^ 0x10);
    return file;
}

// A JPEG whose every restart marker carries the wrong number: damage throughout, each marker a
// warning that the decoder reads past.
QByteArray withWrongRestarts(const VImage& picture) {
    QByteArray jpeg = encode(picture, ".jpg", VImage::option()->set("restart_interval", 1));
    for (qsizetype at = jpeg.indexOf("\xFF\xDA"); at >= 0 && at + 1 < jpeg.size(); ++at) {
        if (uchar(jpeg[at]) == 0xFF && uchar(jpeg[at + 1]) >= 0xD0 && uchar(jpeg[at + 1]) <= 0xD7)
            jpeg[at + 1] = char(0xD0 + (uchar(jpeg[at + 1]) - 0xD0 + 3) % 8);
    }
    return jpeg;
}

} // namespace

TEST(DirectHelper, RendersEveryKindOfFileItKeepsAsTheLibvipsHelperDoes) {
    const VImage photo = cameraLike(1200, 900);
    VImage turned = photo.copy();
    turned.set("orientation", 6);
    const VImage grey = photo.extract_band(1).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
    const VImage wideGamut = photo.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
    const VImage deep = (photo.cast(VIPS_FORMAT_USHORT) * 257).cast(VIPS_FORMAT_USHORT)
                            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    // Magenta stripes that a colour key makes transparent.
    const VImage keyed = makeImage(1200, 900, 3, [](int x, int y, int b) { return (x / 40) % 3 == 0 ? (b == 1 ? 0 : 255) : (x + y * b) & 255; });
    const struct {
        const char* what;
        QByteArray file;
    } files[] = {
        {"JPEG, orientation 6", encode(turned, ".jpg", VImage::option()->set("Q", 92))},
        {"JPEG, progressive, chroma halved", encode(photo, ".jpg", VImage::option()->set("interlace", true)->set("Q", 75))},
        {"JPEG, grey", encode(grey, ".jpg")},
        {"JPEG, wide-gamut profile", encode(wideGamut, ".jpg", VImage::option()->set("Q", 95))},
        {"PNG, alpha", encode(withAlpha(photo), ".png")},
        {"PNG, palette", encode(photo, ".png", VImage::option()->set("palette", true))},
        {"PNG, palette with transparent entries", encode(withAlpha(photo), ".png", VImage::option()->set("palette", true))},
        {"PNG, colour key", withColourKey(encode(keyed, ".png"), 255, 0, 255)},
        {"PNG, 16 bits", encode(deep, ".png")},
        {"PNG, grey", encode(grey, ".png")},
        {"WebP, lossy", encode(photo, ".webp", VImage::option()->set("Q", 90))},
        {"WebP, lossless with alpha", encode(withAlpha(photo), ".webp", VImage::option()->set("lossless", true))},
    };
    for (const auto& [what, file] : files) {
        for (const auto& [zoom, offset] : {std::pair{1.0, QPointF()}, std::pair{2.5, QPointF(50, -30)}}) {
            const Rendered direct = renderThrough(file, true, zoom, offset);
            const Rendered libvips = renderThrough(file, false, zoom, offset);
            ASSERT_TRUE(direct.png && libvips.png) << what;
            EXPECT_TRUE(direct.direct) << what;
            EXPECT_GE(psnr(*direct.png, *libvips.png), 45.0) << what << ", zoom " << zoom;
        }
    }
    // The colour key is honoured, not only agreed on: a third of the square is its stripes, and
    // their insides stay wholly clear through the resampling.
    const Rendered keyedRender = renderThrough(withColourKey(encode(keyed, ".png"), 255, 0, 255), true);
    ASSERT_TRUE(keyedRender.png);
    const Rgba emoji = decodePng(*keyedRender.png);
    int clear = 0;
    for (int y = 0; y < emoji.height; ++y)
        for (int x = 0; x < emoji.width; ++x)
            clear += emoji.at(x, y, 3) == 0;
    EXPECT_GT(clear, emoji.width * emoji.height / 10);
}

TEST(DirectHelper, LeavesWhatItDoesNotKeepToTheLibvipsHelper) {
    const VImage photo = cameraLike(600, 400);
    VImage frames = photo.copy();
    frames = frames.join(photo.invert(), VIPS_DIRECTION_VERTICAL).copy();
    frames.set("page-height", 400);
    const struct {
        const char* what;
        QByteArray file;
    } files[] = {
        {"CMYK JPEG", encode(photo.colourspace(VIPS_INTERPRETATION_CMYK), ".jpg")},
        {"interlaced PNG", encode(photo, ".png", VImage::option()->set("interlace", true))},
        {"animated WebP", encode(frames, ".webp")},
    };
    for (const auto& [what, file] : files) {
        const Rendered declined = renderThrough(file, true);
        const Rendered libvips = renderThrough(file, false);
        ASSERT_TRUE(declined.png && libvips.png) << what;
        EXPECT_FALSE(declined.direct) << what;
        EXPECT_EQ(*declined.png, *libvips.png) << what;
    }
}

TEST(DirectHelper, RefusesDamagedAndOversizedFilesForTheLibvipsHelpersReasons) {
    const VImage photo = cameraLike(900, 600);
    const QByteArray jpeg = encode(photo, ".jpg");
    const QByteArray png = encode(photo, ".png");
    const QByteArray webp = encode(photo, ".webp");
    const struct {
        const char* what;
        QByteArray file;
    } files[] = {
        {"JPEG cut halfway", jpeg.left(jpeg.size() / 2)},
        {"JPEG with a broken tail", jpeg.left(jpeg.size() - 200) + QByteArray(200, '\x5a')},
        {"JPEG of one junk byte", QByteArray("\xFF\xD8\xFF\x01", 4)},
        {"JPEG whose restart markers are all wrong", withWrongRestarts(photo)},
        {"PNG cut halfway", png.left(png.size() / 2)},
        {"PNG of 30000 x 30000", pngClaiming(30000, 30000)},
        {"PNG of 1 x 10000, no pixels", pngClaiming(1, 10000)},
        {"PNG with a damaged pixel chunk", flipped(png, png.size() / 2)},
        {"WebP cut halfway", webp.left(webp.size() / 2)},
        {"WebP header alone", webp.left(30)},
    };
    for (const auto& [what, file] : files) {
        const Rendered direct = renderThrough(file, true);
        const Rendered libvips = renderThrough(file, false);
        EXPECT_FALSE(direct.png) << what;
        EXPECT_FALSE(libvips.png) << what;
        EXPECT_EQ(direct.failure, libvips.failure) << what;
    }
}

TEST(DirectHelper, GivesAJpegsFirstLookFromItsDctUprightAndInSrgb) {
    const VImage photo = cameraLike(1200, 900);
    VImage turned = photo.copy();
    turned.set("orientation", 6);
    const struct {
        const char* what;
        QByteArray file;
    } files[] = {
        {"orientation 6", encode(turned, ".jpg", VImage::option()->set("Q", 92))},
        // Saturated colours, which a wide gamut's numbers move most.
        {"wide-gamut profile",
         encode(makeImage(1200, 900, 3, [](int x, int y, int b) { return ((x / 150 + y / 150 + b) % 3) == 0 ? 230 : 20; })
                    .icc_transform("p3", VImage::option()->set("input_profile", "srgb")),
                ".jpg", VImage::option()->set("Q", 95))},
        {"grey", encode(photo.extract_band(1).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W)), ".jpg")},
    };
    for (const auto& [what, file] : files) {
        auto session = std::make_shared<DecoderSession>();
        ASSERT_TRUE(session->start(PictureInput::bytes(file), true)) << what;
        const auto look = session->preview(200);
        ASSERT_TRUE(look) << what;
        EXPECT_TRUE(session->heldByDirectHelper()) << what;
        // The working picture comes from the libvips helper: the first look must show the same.
        const auto working = session->decode(0);
        ASSERT_TRUE(working) << what;
        EXPECT_FALSE(session->heldByDirectHelper()) << what;
        const VImage small = (*look.value)->pixels();
        const VImage full = (*working.value)->pixels();
        EXPECT_EQ(small.width() < small.height(), full.width() < full.height()) << what;
        EXPECT_GE(std::min(small.width(), small.height()), 200) << what;
        EXPECT_LT(small.width(), full.width()) << what;
        EXPECT_EQ((*look.value)->fullSize(), (*working.value)->fullSize()) << what;
        const VImage reduced = full.resize(double(small.width()) / full.width(),
                                           VImage::option()->set("vscale", double(small.height()) / full.height()));
        const double mse = (reduced.cast(VIPS_FORMAT_FLOAT) - small.cast(VIPS_FORMAT_FLOAT)).pow(2).avg();
        EXPECT_GE(10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-9)), 32.0) << what;
    }
    // A PNG has no cheap reduction: the direct helper leaves the first look to the libvips helper.
    auto session = std::make_shared<DecoderSession>();
    ASSERT_TRUE(session->start(PictureInput::bytes(encode(photo, ".png")), true));
    const auto look = session->preview(200);
    EXPECT_FALSE(look.why);
    EXPECT_FALSE(session->heldByDirectHelper());
}
