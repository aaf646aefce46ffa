// Removing a plain background, through the export job as `render --cutout` runs it and in the
// editor: pictures whose true masks are known, made from real photographs.

#include "PictureFixtures.h"

#include "core/ChatTarget.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"
#include "model/ExportJob.h"

#include <QCoreApplication>
#include <QTest>
#include <QThreadPool>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace cropling;
using namespace cropling::test;
using vips::VImage;

namespace {

constexpr int kSide = 720;

VImage photo(const char* name) {
    const VImage loaded = VImage::new_from_file((std::string("/usr/lib/python3/dist-packages/skimage/data/") + name).c_str());
    return loaded.resize(double(kSide) / loaded.width(), VImage::option()->set("vscale", double(kSide) / loaded.height()))
        .extract_band(0, VImage::option()->set("n", 3));
}

// The subject (where `inside` holds) over a background, as a JPEG, and the true mask at emoji size.
struct Case {
    QByteArray jpeg;
    std::vector<bool> mask;
};

Case compose(const std::function<bool(int, int)>& inside, const VImage& subject,
             const std::function<int(int, int, int)>& ground) {
    const VImage subjectMemory = subject.copy_memory();
    const auto* s = static_cast<const std::uint8_t*>(vips_image_get_data(subjectMemory.get_image()));
    const VImage picture = makeImage(kSide, kSide, 3, [&](int x, int y, int b) {
        return inside(x, y) ? int(s[(size_t(y) * kSide + size_t(x)) * 3 + size_t(b)]) : ground(x, y, b);
    });
    Case made{encode(picture, ".jpg", VImage::option()->set("Q", 90)), {}};
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            made.mask.push_back(inside(int((x + 0.5) * kSide / 128), int((y + 0.5) * kSide / 128)));
    return made;
}

double iou(const QByteArray& png, const std::vector<bool>& mask) {
    const Rgba cut = decodePng(png);
    int both = 0, either = 0;
    for (size_t i = 0; i < mask.size(); ++i) {
        const bool kept = cut.data[i * 4 + 3] >= 128;
        both += kept && mask[i];
        either += kept || mask[i];
    }
    return double(both) / std::max(1, either);
}

ExportOutcome cutOut(const QByteArray& jpeg) {
    FramingRequest framing;
    framing.cutout = true;
    return ExportJob(urlFromLocalPath(writeTempFile("cutout.jpg", jpeg)), framing,
                     ExportRequest{ExportFormat::Png, kEmojiSide, gifLimitsOf(defaultChatTarget())}, QStringLiteral("cutout.jpg"))
        .run();
}

bool inEllipse(int x, int y, double cx, double cy, double rx, double ry) {
    return std::pow((x - cx) / rx, 2) + std::pow((y - cy) / ry, 2) <= 1;
}

} // namespace

TEST(Cutout, APlainBackgroundGoesHolesIncludedAndAPictureWithoutOneIsLeftWhole) {
    std::mt19937 noise(7);
    std::normal_distribution<double> grain(0, 4);
    const double c = kSide / 2.0;
    const Case cases[] = {
        // A flat ring on a flat colour: its hole goes too.
        compose([&](int x, int y) { return inEllipse(x, y, c, c, 0.3 * kSide, 0.3 * kSide) && !inEllipse(x, y, c, c, 0.11 * kSide, 0.11 * kSide); },
                makeImage(kSide, kSide, 3, [](int, int, int b) { return b == 0 ? 250 : b == 1 ? 150 : 40; }),
                [](int, int, int b) { return b == 0 ? 60 : b == 1 ? 110 : 200; }),
        // A photograph on a noisy studio gradient, touching the bottom edge.
        compose([&](int x, int y) { return inEllipse(x, y, c, 0.45 * kSide, 0.33 * kSide, 0.38 * kSide) || (std::abs(x - c) < 0.1 * kSide && y > c); },
                photo("chelsea.png"), [&](int x, int y, int b) { return int(90 + 80.0 * y / kSide + 20.0 * x / kSide + (b == 2 ? 10 : 0) + grain(noise)); }),
        // A photograph on white.
        compose([&](int x, int y) { return inEllipse(x, y, c, c, 0.35 * kSide, 0.28 * kSide); }, photo("coffee.png"),
                [](int, int, int) { return 250; }),
    };
    for (const Case& one : cases) {
        const ExportOutcome outcome = cutOut(one.jpeg);
        ASSERT_TRUE(outcome) << describe(outcome).toStdString();
        EXPECT_GE(iou(outcome.emoji->bytes, one.mask), 0.96);
        // Soft: some pixels of the edge are partly transparent.
        const Rgba cut = decodePng(outcome.emoji->bytes);
        int partial = 0;
        for (size_t i = 3; i < cut.data.size(); i += 4)
            partial += cut.data[i] > 0 && cut.data[i] < 255;
        EXPECT_GT(partial, 40);
    }
    // A hairline of plain colour around a subject is a frame, not a background to remove; a margin
    // a few times wider is.
    for (const int margin : {2, 12}) {
        const VImage framed = makeImage(400, 400, 3, [margin](int x, int y, int b) {
            const bool ground = x < margin || y < margin || x >= 400 - margin || y >= 400 - margin;
            return ground ? (b == 2 ? 200 : 60) : (b == 0 ? 250 : b == 1 ? 150 : 40);
        });
        const ExportOutcome outcome = cutOut(encode(framed, ".png"));
        EXPECT_EQ(bool(outcome), margin > 2) << margin;
    }
    // A photograph to its edges has no plain background: it says so and removes nothing.
    const ExportOutcome none = cutOut(encode(photo("chelsea.png"), ".jpg"));
    EXPECT_FALSE(none);
    EXPECT_EQ(none.failure, ExportFailure::NoBackground);
}

TEST(Cutout, AnEdgeKeepsTheSubjectsColourWithoutTheGroundsTint) {
    // An orange disc on blue, its edge pixels each a true mix of the two by how much of the pixel
    // the disc covers (16 samples a pixel): what stays of the edge shows the disc's orange, not a
    // blue-tinted fringe of the ground it was cut from.
    const auto covered = [](int x, int y) {
        int inside = 0;
        for (int s = 0; s < 16; ++s)
            inside += std::hypot(x + (s % 4 + 0.5) / 4 - 200, y + (s / 4 + 0.5) / 4 - 200) < 120.3;
        return inside / 16.0;
    };
    const int orange[3] = {250, 150, 40}, blue[3] = {60, 110, 200};
    EmojiEditor editor;
    editor.setImage(makePicture(makeImage(400, 400, 3, [&](int x, int y, int b) {
                        const double c = covered(x, y);
                        return int(std::lround(c * orange[b] + (1 - c) * blue[b]));
                    })),
                    QStringLiteral("disc"));
    editor.removeBackground();
    const VImage cut = editor.image()->pixels().copy_memory();
    ASSERT_EQ(cut.bands(), 4);
    const auto* p = static_cast<const std::uint8_t*>(cut.data());
    double blueOfEdge = 0;
    int edge = 0;
    for (int y = 0; y < 400; ++y) {
        for (int x = 0; x < 400; ++x) {
            const std::uint8_t* at = p + (size_t(y) * 400 + size_t(x)) * 4;
            if (at[3] >= 64 && at[3] < 255 && covered(x, y) > 0.2 && covered(x, y) < 0.8) {
                blueOfEdge += at[2];
                ++edge;
            }
        }
    }
    ASSERT_GT(edge, 100);
    // The disc's blue is 40, a half-and-half mix's 120: the edge keeps to the disc's side.
    EXPECT_LT(blueOfEdge / edge, 100.0);
}

TEST(Cutout, RemovingTheBackgroundIsOneStepAndSaysWhenThereIsNone) {
    EmojiEditor editor;
    const PicturePtr ring = makePicture(makeImage(400, 400, 3, [](int x, int y, int b) {
        const bool on = std::hypot(x - 200, y - 200) < 150;
        return on ? (b == 0 ? 240 : 60) : (b == 2 ? 230 : 30);
    }));
    editor.setImage(ring, QStringLiteral("ring"));
    editor.removeBackground();
    EXPECT_EQ(editor.undoStack()->undoText(), QStringLiteral("Remove Background"));
    EXPECT_EQ(editor.image()->pixels().bands(), 4);
    editor.undoStack()->undo();
    EXPECT_EQ(editor.image(), ring);

    editor.setImage(makePicture(cameraLike(400, 300)), QStringLiteral("photo"));
    const int steps = editor.undoStack()->count();
    editor.removeBackground();
    EXPECT_EQ(editor.undoStack()->count(), steps);
    EXPECT_EQ(editor.status()->kind(), EditorStatus::Kind::Failure);
}

TEST(Cutout, MarksKeepAndRemoveWhatTheyCoverAndEachIsAStepOfItsOwn) {
    EmojiEditor editor;
    // A disc with a hole: the one-step removal takes the hole with the background.
    const auto alphaAt = [&editor](double fx, double fy) {
        const VImage& pixels = editor.image()->pixels();
        return int(pixels.getpoint(int(fx * pixels.width()), int(fy * pixels.height()))[3]);
    };
    editor.setImage(makePicture(makeImage(400, 400, 3, [](int x, int y, int b) {
                        const double r = std::hypot(x - 200, y - 200);
                        return r < 150 && r > 40 ? (b == 0 ? 240 : 60 + (x + y) % 7) : (b == 2 ? 230 : 30);
                    })),
                    QStringLiteral("ring"));
    editor.removeBackground();
    ASSERT_TRUE(editor.hasCutout());
    EXPECT_EQ(alphaAt(0.5, 0.5), 0);

    // Kept: the hole, where the mark passes.
    editor.markCutout(CutoutMark{true, {{0.47, 0.5}, {0.53, 0.5}}, 0.04});
    EXPECT_EQ(editor.undoStack()->undoText(), QStringLiteral("Mark to Keep"));
    EXPECT_EQ(alphaAt(0.5, 0.5), 255);
    EXPECT_EQ(alphaAt(0.05, 0.05), 0);
    EXPECT_EQ(alphaAt(0.5, 0.8), 255);
    const PicturePtr kept = editor.image();

    // Removed: a stroke across the ring's top, the earlier mark still holding.
    editor.markCutout(CutoutMark{false, {{0.35, 0.22}, {0.65, 0.22}}, 0.03});
    EXPECT_EQ(editor.undoStack()->undoText(), QStringLiteral("Mark to Remove"));
    EXPECT_EQ(alphaAt(0.5, 0.22), 0);
    EXPECT_EQ(alphaAt(0.5, 0.5), 255);
    EXPECT_EQ(alphaAt(0.5, 0.8), 255);
    editor.undoStack()->undo();
    EXPECT_EQ(editor.image(), kept);

    // A new picture has nothing to mark.
    editor.setImage(makePicture(cameraLike(200, 150)), QStringLiteral("photo"));
    EXPECT_FALSE(editor.hasCutout());
    const int steps = editor.undoStack()->count();
    editor.markCutout(CutoutMark{true, {{0.5, 0.5}}, 0.05});
    EXPECT_EQ(editor.undoStack()->count(), steps);
}

TEST(Cutout, ARemovalCancelledLeavesThePictureAndTheOneAfterItIsTheOneThatLands) {
    EmojiEditor editor;
    editor.setBackgroundWork(true);
    const PicturePtr disc = makePicture(makeImage(1200, 900, 3, [](int x, int y, int b) {
        return std::hypot(x - 600, y - 450) < 300 ? (b == 0 ? 240 : 60) : (b == 2 ? 230 : 30);
    }));
    editor.setImage(disc, QStringLiteral("disc"));
    const int steps = editor.undoStack()->count();
    editor.removeBackground();
    EXPECT_TRUE(editor.isBusy());
    editor.cancelPictureChange();
    EXPECT_FALSE(editor.isBusy());
    // The cancelled removal's worker ends; what it made is let go of.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(editor.image(), disc);
    EXPECT_EQ(editor.undoStack()->count(), steps);

    // Cancelled and asked again at once: the second lands, once.
    editor.removeBackground();
    editor.cancelPictureChange();
    editor.removeBackground();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor.isBusy(); }, 20'000));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(editor.undoStack()->count(), steps + 1);
    EXPECT_EQ(editor.image()->pixels().bands(), 4);
}
