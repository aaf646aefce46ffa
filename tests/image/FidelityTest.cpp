#include "PictureFixtures.h"

#include "image/DecoderSession.h"
#include "image/EmojiRenderer.h"
#include "image/Picture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace cropling;
using namespace cropling::test;
using vips::VImage;

namespace {

// The render of the whole picture decoded at full resolution, the yardstick.
QByteArray exactRender(const QByteArray& file, double zoom, QPointF offset) {
    const auto full = Picture::decode(file);
    return full ? renderEmojiPNG(full.get(), {zoom, offset}, 128).value_or(QByteArray()) : QByteArray();
}

// The render a headless save gets: from the direct helper, which must have kept the file.
QByteArray directRender(const QByteArray& file, double zoom, QPointF offset) {
    auto session = std::make_shared<DecoderSession>();
    if (!session->start(PictureInput::bytes(file), true) || !session->openForRender() || !session->heldByDirectHelper())
        return {};
    return session->render({zoom, offset}, 128).value.value_or(QByteArray());
}

} // namespace

TEST(Fidelity, ReducedDecodesKeepCameraPhotosAbove53DecibelsInEveryOrientation) {
    const VImage photo = cameraLike(2400, 1800);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        VImage tagged = photo.copy();
        tagged.set("orientation", orientation);
        const QByteArray file = encode(tagged, ".jpg", VImage::option()->set("Q", 92));
        const auto once = Picture::openForRender(file);
        const auto working = Picture::decode(file, 600);
        ASSERT_TRUE(once && working);
        EXPECT_EQ(once->fullSize(), orientation >= 5 ? QSize(1800, 2400) : QSize(2400, 1800));
        for (const double zoom : {1.0, 1.5, 2.5}) {
            const QPointF offset(zoom > 1 ? 40 : 0, zoom > 1 ? -25 : 0);
            const QByteArray exact = exactRender(file, zoom, offset);
            ASSERT_FALSE(exact.isEmpty());
            EXPECT_GE(psnr(*renderEmojiPNG(once.get(), {zoom, offset}, 128), exact), 53.0)
                << "orientation " << orientation << " zoom " << zoom;
            EXPECT_GE(psnr(*renderEmojiPNG(working.get(), {zoom, offset}, 128), exact), 53.0)
                << "orientation " << orientation << " zoom " << zoom;
            const QByteArray direct = directRender(file, zoom, offset);
            ASSERT_FALSE(direct.isEmpty()) << "orientation " << orientation;
            EXPECT_GE(psnr(direct, exact), 53.0) << "direct, orientation " << orientation << " zoom " << zoom;
        }
    }
}

TEST(Fidelity, ReducedDecodesKeepARingPatternAbove50Decibels) {
    // Rings whose frequency rises to half a cycle per pixel at the edge, where a reduction that
    // averages badly leaves moiré.
    const int side = 2400;
    const QByteArray file = encode(makeImage(side, side, 3, [](int x, int y, int) {
                                       const double dx = x + 0.5 - side / 2.0, dy = y + 0.5 - side / 2.0;
                                       return int(std::lround(127.5 + 127.5 * std::cos(M_PI * (dx * dx + dy * dy) / side)));
                                   }),
                                   ".png");
    const auto once = Picture::openForRender(file);
    ASSERT_TRUE(once);
    for (const double zoom : {1.0, 1.5}) {
        const QByteArray exact = exactRender(file, zoom, {0, 0});
        EXPECT_GE(psnr(*renderEmojiPNG(once.get(), {zoom, {0, 0}}, 128), exact), 50.0) << zoom;
        const QByteArray direct = directRender(file, zoom, {0, 0});
        ASSERT_FALSE(direct.isEmpty());
        EXPECT_GE(psnr(direct, exact), 50.0) << "direct, zoom " << zoom;
    }
}
