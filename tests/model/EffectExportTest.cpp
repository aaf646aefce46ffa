// A still with an effect through the one export job: a GIF that loops for ever within the caps,
// and a caption that reaches every frame.

#include "ClipFixtures.h"
#include "PictureFixtures.h"

#include "core/ChatTarget.h"
#include "model/EmojiEditor.h"
#include "io/LocalPath.h"
#include "model/ExportJob.h"

#include <QFile>

#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

TEST(EffectExport, AnEffectIsALoopingGifWithinTheCapsAndACaptionMarksEveryFrame) {
    const PicturePtr photo = makePicture(cameraLike(1200, 900));
    for (const Effect effect : {Effect::Party, Effect::Shake, Effect::Spin, Effect::Pulse}) {
        ExportRequest request{ExportFormat::Auto, kEmojiSide, gifLimitsOf(defaultChatTarget())};
        request.effect.effect = effect;
        request.effect.caption = QStringLiteral("wow");
        const ExportOutcome outcome = ExportJob(photo, Framing{}, request, QStringLiteral("photo")).run();
        ASSERT_TRUE(outcome) << effectId(effect).toStdString();
        ASSERT_TRUE(outcome.emoji->gif);
        EXPECT_LE(outcome.emoji->bytes.size(), 131'072);
        const vips::VImage gif = vips::VImage::new_from_buffer(outcome.emoji->bytes.constData(), size_t(outcome.emoji->bytes.size()),
                                                               "", vips::VImage::option()->set("n", -1));
        EXPECT_EQ(gif.get_int("loop"), 0) << effectId(effect).toStdString();
        EXPECT_GT(gif.get_int("n-pages"), 3);
        EXPECT_LE(gif.get_int("n-pages"), 50);
    }
    // A caption alone leaves the still a PNG, with white letters at its foot that the plain one lacks.
    ExportRequest plain{ExportFormat::Auto, kEmojiSide, gifLimitsOf(defaultChatTarget())};
    ExportRequest captioned = plain;
    captioned.effect.caption = QStringLiteral("HELLO");
    const ExportOutcome without = ExportJob(photo, Framing{}, plain, QStringLiteral("photo")).run();
    const ExportOutcome with = ExportJob(photo, Framing{}, captioned, QStringLiteral("photo")).run();
    ASSERT_TRUE(without && with);
    EXPECT_FALSE(with.emoji->gif);
    const Rgba a = decodePng(without.emoji->bytes), b = decodePng(with.emoji->bytes);
    int whiter = 0, changedAbove = 0;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const size_t i = size_t(y * 128 + x) * 4;
            if (y >= 96 && b.data[i] > 240 && b.data[i + 1] > 240 && b.data[i + 2] > 240 && a.data[i] < 200)
                ++whiter;
            if (y < 64 && b.data[i] != a.data[i])
                ++changedAbove;
        }
    }
    EXPECT_GT(whiter, 50);
    EXPECT_EQ(changedAbove, 0);
    // Asked at the top, the same letters are there and the foot is untouched.
    captioned.effect.captionAtTop = true;
    const ExportOutcome top = ExportJob(photo, Framing{}, captioned, QStringLiteral("photo")).run();
    ASSERT_TRUE(top);
    const Rgba t = decodePng(top.emoji->bytes);
    int whiterAtTop = 0, changedBelow = 0;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const size_t i = size_t(y * 128 + x) * 4;
            if (y < 32 && t.data[i] > 240 && t.data[i + 1] > 240 && t.data[i + 2] > 240 && a.data[i] < 200)
                ++whiterAtTop;
            if (y >= 64 && t.data[i] != a.data[i])
                ++changedBelow;
        }
    }
    EXPECT_GT(whiterAtTop, 50);
    EXPECT_EQ(changedBelow, 0);
}

// On a clip, the effect and the caption ride over the span asked for: each frame of it carries
// them, and the GIF plays as long as the span, where the still's loop would play 0.8 s. A caption
// alone keeps the clip an animation.
TEST(EffectExport, AClipsSpanCarriesTheEffectAndTheCaptionOnEveryFrame) {
    const QByteArray mp4 = clipFile(QStringLiteral("pan.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                                                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}, 6);
    ASSERT_FALSE(mp4.isEmpty());
    FramingRequest span;
    span.clipStartMs = 1000;
    span.clipEndMs = 3000;
    for (const Effect effect : {Effect::None, Effect::Party, Effect::Spin}) {
        SCOPED_TRACE(effectId(effect).toStdString());
        ExportRequest request{ExportFormat::Auto, kEmojiSide, gifLimitsOf(defaultChatTarget())};
        request.effect.effect = effect;
        request.effect.caption = QStringLiteral("wow");
        const ExportOutcome outcome = ExportJob(urlFromLocalPath(mp4), span, request, QFile::decodeName(mp4)).run();
        ASSERT_TRUE(outcome) << describe(outcome).toStdString();
        ASSERT_TRUE(outcome.emoji->gif);
        EXPECT_LE(outcome.emoji->bytes.size(), 131'072);
        const vips::VImage gif = vips::VImage::new_from_buffer(outcome.emoji->bytes.constData(), size_t(outcome.emoji->bytes.size()),
                                                               "", vips::VImage::option()->set("n", -1));
        long long played = 0;
        for (const int delay : gif.get_array_int("delay"))
            played += delay;
        EXPECT_NEAR(double(played), 2000.0, 100.0);
        EXPECT_GT(gif.get_int("n-pages"), 16);
        // The caption's white letters (as the GIF's colours give them) at the foot of the first
        // frame and of the last, where the cup is dark.
        const int pages = gif.get_int("n-pages");
        for (const int page : {0, pages - 1}) {
            const vips::VImage frame = gif.crop(0, page * 128 + 100, 128, 28).extract_band(0, vips::VImage::option()->set("n", 3));
            EXPECT_GT((frame > 200).bandand().avg() / 255.0 * 128 * 28, 100.0) << "page " << page;
        }
    }
}

// In the window, an effect is one undoable step, the export note turns to the GIF's and Save to
// "Save Emoji GIF…", and the views get frames to play.
TEST(EffectExport, AnEffectInTheEditorIsOneStepAndPlays) {
    EmojiEditor editor;
    editor.setImage(makePicture(cameraLike(600, 400)), QStringLiteral("cat"));
    EffectSettings spin;
    spin.effect = Effect::Spin;
    editor.setEffect(spin);
    EXPECT_EQ(editor.undoStack()->undoText(), QStringLiteral("Effect"));
    ASSERT_TRUE(editor.effectFrame());
    EXPECT_EQ(editor.effectFrame()->fullSize(), QSize(340, 340));
    const ExportOutcome gif = editor.exportEmoji(ExportRequest{ExportFormat::Auto, kEmojiSide, gifLimitsOf(defaultChatTarget()), spin});
    ASSERT_TRUE(gif);
    EXPECT_TRUE(gif.emoji->gif);
    editor.undoStack()->undo();
    EXPECT_EQ(editor.effect().effect, Effect::None);
    EXPECT_FALSE(editor.effectFrame());
}
