#include "PictureFixtures.h"

#include "core/CropGeometry.h"
#include "image/FaceFraming.h"
#include "image/Picture.h"
#include "image/shared/VipsRuntime.h"
#include "io/LocalPath.h"
#include "model/ExportJob.h"

#include <QFile>

#include <future>
#include <vector>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

namespace {

// Debian's scikit-image sample portrait (512 x 512), and where its face is, found by eye: the box
// from the brows to the chin.
const QString kPortrait = QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/astronaut.png");
constexpr double kFaceCentreX = 224, kFaceCentreY = 114, kFaceWidth = 93;

// A plain ground with one detailed patch near the right edge: no face anywhere.
std::shared_ptr<const Picture> busyPatch() {
    const auto busy = [](int x, int y, int) { return x > 450 && x < 550 && y > 150 && y < 250 ? ((x * 37 + y * 91) & 255) : 128; };
    return makePicture(makeImage(600, 400, 3, busy));
}

// The sample portrait decoded as a window decodes it; nothing when the sample is not installed.
std::shared_ptr<const Picture> portrait() {
    QFile file(kPortrait);
    return file.open(QIODevice::ReadOnly) ? Picture::decode(file.readAll(), workingShorterSide(1.0)) : nullptr;
}

} // namespace

TEST(FaceFraming, APortraitsFaceLandsInTheMiddleWithItsHeadFillingTheSquare) {
    // Searched in a picture as the window holds it, and in plain pixels as a render gets them from
    // the helper, without libvips.
    if (!QFile::exists(kPortrait))
        GTEST_SKIP() << "python3-skimage's sample data is not installed";
    const auto picture = portrait();
    ASSERT_TRUE(picture);
    const vips::VImage pixels = picture->pixels().cast(VIPS_FORMAT_UCHAR).copy_memory();
    const auto* data = static_cast<const std::uint8_t*>(pixels.data());
    const PixelRows rows{pixels.width(), pixels.height(), pixels.bands(),
                         {data, data + size_t(pixels.width()) * size_t(pixels.height()) * size_t(pixels.bands())}};
    for (const AutoFramingOutcome& outcome : {autoFrame(*picture), autoFrame(rows.view(), picture->fullSize())}) {
        ASSERT_TRUE(outcome.framing) << outcome.why.toStdString();
        EXPECT_GE(outcome.framing->faces, 1);

        const QSizeF size = picture->nominalSize();
        const double zoom = outcome.framing->zoom;
        const QRectF crop = CropFrame(size, zoom).cropRect(clampedOffset(size, zoom, outcome.framing->offset));
        // Where the face's centre lands on the emoji, as a share of its side: the middle third.
        const double x = (kFaceCentreX - crop.x()) / crop.width();
        const double y = (kFaceCentreY - crop.y()) / crop.height();
        EXPECT_GT(x, 1.0 / 3);
        EXPECT_LT(x, 2.0 / 3);
        EXPECT_GT(y, 1.0 / 3);
        EXPECT_LT(y, 2.0 / 3);
        // The head, hair to hair about a quarter wider than the face's box, fills 40 to 80 % of
        // the emoji's width: the framing leaves room around it.
        const double head = 1.25 * kFaceWidth / crop.width();
        EXPECT_GE(head, 0.4);
        EXPECT_LE(head, 0.8);
    }
}

TEST(FaceFraming, WithoutAFaceTheBusiestPartIsCentredAtTheOpeningZoom) {
    const auto picture = busyPatch();
    const AutoFramingOutcome outcome = autoFrame(*picture);
    ASSERT_TRUE(outcome.framing) << outcome.why.toStdString();
    EXPECT_EQ(outcome.framing->faces, 0);
    EXPECT_EQ(outcome.framing->zoom, 1.0);
    // Moved toward the patch: the picture shifts left, as far as the clamp lets it.
    EXPECT_LT(outcome.framing->offset.x(), 0);
    EXPECT_FALSE(outcome.framing->kept);

    // A framing the user chose that already shows the patch, closer, is kept: the busiest part
    // at the opening zoom would show no more of it.
    const Framing onThePatch{3.0, {-400, 0}};
    const AutoFramingOutcome kept = autoFrame(*picture, onThePatch);
    ASSERT_TRUE(kept.framing);
    EXPECT_TRUE(kept.framing->kept);
    EXPECT_EQ(kept.framing->zoom, onThePatch.zoom);
    EXPECT_EQ(kept.framing->offset, onThePatch.offset);
}

TEST(FaceFraming, SearchesOnSeveralThreadsWhileTheModulesLoadFindWhatOneFindsAlone) {
    // The searches of each kind run on threads of their own and the module loads on others: the
    // detectors they share must give every search the answer a lone search gets.
    if (!QFile::exists(kPortrait))
        GTEST_SKIP() << "python3-skimage's sample data is not installed";
    const auto face = portrait();
    ASSERT_TRUE(face);
    const auto plain = busyPatch();
    std::vector<std::future<std::pair<AutoFramingOutcome, AutoFramingOutcome>>> searches;
    for (int i = 0; i < 4; ++i)
        searches.push_back(std::async(std::launch::async, [&] {
            prepareFaceSearch();
            return std::pair(autoFrame(*face), autoFrame(*plain));
        }));
    const AutoFramingOutcome alone = autoFrame(*face), none = autoFrame(*plain);
    ASSERT_TRUE(alone.framing && none.framing);
    for (auto& search : searches) {
        const auto [withFace, without] = search.get();
        ASSERT_TRUE(withFace.framing && without.framing);
        EXPECT_EQ(withFace.framing->faces, alone.framing->faces);
        EXPECT_EQ(withFace.framing->zoom, alone.framing->zoom);
        EXPECT_EQ(withFace.framing->offset, alone.framing->offset);
        EXPECT_EQ(without.framing->faces, 0);
        EXPECT_EQ(without.framing->offset, none.framing->offset);
    }
}

TEST(FaceFraming, APictureTurnedForTheRenderIsSearchedAsItWillShow) {
    // The portrait stored lying on its side, turned a quarter clockwise for the render: the face is
    // found where it will be, and the emoji is the upright portrait's.
    if (!QFile::exists(kPortrait))
        GTEST_SKIP() << "python3-skimage's sample data is not installed";
    ensureVipsStarted();
    const vips::VImage upright = vips::VImage::new_from_file(kPortrait.toUtf8().constData());
    const QByteArray uprightFile = writeTempFile("upright.png", encode(upright, ".png"));
    const QByteArray sidewaysFile = writeTempFile("sideways.png", encode(upright.rot(VIPS_ANGLE_D270), ".png"));
    // As `render -o emoji.png` asks (the face searched in the helper's pixels) and as a window's
    // export does (in the decoded picture).
    for (const ExportFormat format : {ExportFormat::Png, ExportFormat::Auto}) {
        FramingRequest framing;
        framing.autoFrame = true;
        ExportRequest request;
        request.format = format;
        const ExportOutcome expected = ExportJob(urlFromLocalPath(uprightFile), framing, request, QStringLiteral("upright")).run();
        framing.turn = 6; // a quarter clockwise
        const ExportOutcome turned = ExportJob(urlFromLocalPath(sidewaysFile), framing, request, QStringLiteral("sideways")).run();
        ASSERT_TRUE(expected && turned) << describe(turned).toStdString();
        EXPECT_GT(psnr(expected.emoji->bytes, turned.emoji->bytes), 35.0) << int(format);
    }
}
