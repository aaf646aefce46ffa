#include "PictureFixtures.h"

#include "model/ScriptedRun.h"
#include "model/EmojiEditor.h"
#include "core/CropGeometry.h"
#include "io/LocalPath.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include <cmath>

using namespace cropling;
using namespace cropling::test;

namespace {

QByteArray landscapeFile() {
    static const QByteArray path = writeTempFile(
        "Wide Shot.png", encode(makeImage(400, 300, 3, [](int x, int y, int b) { return (x * 3 + y * (b + 1)) & 255; }), ".png"));
    return path;
}

ScriptedRunEnvironment saveRun(const QByteArray& output) {
    ScriptedRunEnvironment env;
    env.open = landscapeFile();
    env.save = output;
    return env;
}

} // namespace

TEST(ScriptedRun, OpenAloneStaysInteractiveAndSaveAloneDoesNothing) {
    EmojiEditor editor;
    ScriptedRunEnvironment env;
    env.save = tempFolder() + "/unused.png";
    EXPECT_FALSE(runScripted(editor, env).batch);
    EXPECT_FALSE(editor.image());

    env = {};
    env.open = landscapeFile();
    env.zoom = "3";
    const ScriptedRunOutcome outcome = runScripted(editor, env);
    EXPECT_FALSE(outcome.batch);
    ASSERT_TRUE(editor.image());
    EXPECT_EQ(editor.zoom(), 1); // the zoom only counts in a batch run
    EXPECT_EQ(editor.emojiName(), QStringLiteral("wide-shot"));
}

TEST(ScriptedRun, SetsZoomAndClampedOffsetBeforeWriting) {
    const QByteArray output = tempFolder() + "/zoomed.png";
    EmojiEditor editor;
    ScriptedRunEnvironment env = saveRun(output);
    env.zoom = "2";
    env.offsetX = "1e6";
    env.offsetY = "-25";
    const ScriptedRunOutcome outcome = runScripted(editor, env);
    EXPECT_TRUE(outcome.batch);
    EXPECT_FALSE(outcome.failure);
    QFile written(QFile::decodeName(output));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    // The window's render of the same picture at zoom 2, where 400 x 300 limits the pan to
    // (283.33, 170).
    EmojiEditor shown;
    shown.load(urlFromLocalPath(landscapeFile()));
    shown.setZoomUnclamped(2);
    shown.setOffset({850.0 / 3, -25});
    const Rgba saved = decodePng(written.readAll()), expected = decodePng(*shown.renderEmojiPNG(128));
    EXPECT_EQ(saved.width, 128);
    EXPECT_EQ(saved.data, expected.data);
}

TEST(ScriptedRun, OffsetNeedsBothHalvesAndRejectedNumbersAreSkipped) {
    EmojiEditor editor;
    ScriptedRunEnvironment env = saveRun(tempFolder() + "/half.png");
    env.zoom = " 2";
    env.offsetX = "40";
    runScripted(editor, env);
    EXPECT_EQ(editor.zoom(), 1);
    EXPECT_EQ(editor.offset(), QPointF(0, 0));

    env.offsetY = "1,5";
    runScripted(editor, env);
    EXPECT_EQ(editor.offset(), QPointF(0, 0));
}

TEST(ScriptedRun, ReportsWhyNothingWasDelivered) {
    EmojiEditor editor;
    ScriptedRunEnvironment env = saveRun(tempFolder() + "/no-such-folder/out.png");
    ScriptedRunOutcome outcome = runScripted(editor, env);
    ASSERT_TRUE(outcome.failure);
    EXPECT_TRUE(outcome.failure->startsWith(QStringLiteral("Save failed: ")));
    EXPECT_EQ(outcome.exitCode(), 1);

    const QByteArray output = tempFolder() + "/nan.png";
    env = saveRun(output);
    env.zoom = "nan";
    outcome = runScripted(editor, env);
    EXPECT_EQ(outcome.failure, QStringLiteral("Couldn't render the emoji."));
    EXPECT_FALSE(QFile::exists(QFile::decodeName(output)));
    // A copy that renders nothing says so too, from how the copy ended.
    env.copy = QByteArray();
    EmojiEditor copyingNothing;
    const ScriptedRunOutcome notCopied = runScripted(copyingNothing, env);
    EXPECT_FALSE(notCopied.copied);
    EXPECT_EQ(notCopied.failure, QStringLiteral("Couldn't render the emoji."));

    env = saveRun(output);
    env.open = tempFolder() + "/absent.png";
    EmojiEditor fresh;
    outcome = runScripted(fresh, env);
    // The picture is named as the variable gives it.
    const QString absent = QStringLiteral("Couldn't open %1/absent.png: no such file").arg(QString::fromUtf8(tempFolder()));
    EXPECT_EQ(outcome.failure, absent);
    env.copy = QByteArray();
    EmojiEditor copying;
    EXPECT_EQ(runScripted(copying, env).failure, absent);

    // The picture itself is never written over, by its name or through a link to it.
    const QByteArray picture = writeTempFile("keep-me.png", readFile(landscapeFile()));
    const QByteArray link = tempFolder() + "/link-to-keep-me.png";
    QFile::remove(QFile::decodeName(link));
    ASSERT_TRUE(QFile::link(QFile::decodeName(picture), QFile::decodeName(link)));
    for (const QByteArray& target : {picture, link}) {
        env = saveRun(target);
        env.open = picture;
        EmojiEditor selfish;
        const ScriptedRunOutcome refused = runScripted(selfish, env);
        ASSERT_TRUE(refused.failure);
        EXPECT_TRUE(refused.failure->contains(QStringLiteral("would replace the picture"))) << refused.failure->toStdString();
        EXPECT_EQ(readFile(picture), readFile(landscapeFile()));
    }

    // A name with a line break or an escape sequence still makes one plain line.
    env = saveRun(output);
    env.open = tempFolder() + "/two\nlines\x1b[31m.png";
    EmojiEditor named;
    EXPECT_EQ(failureLine(runScripted(named, env)),
              "cropling: Couldn't open " + tempFolder() + "/two\\x0alines\\x1b[31m.png: no such file\n");
}

TEST(ScriptedRun, AZoomBelowOneIsTakenAsGivenWithATransparentMargin) {
    const QByteArray output = tempFolder() + "/fitted.png";
    EmojiEditor editor;
    ScriptedRunEnvironment env = saveRun(output);
    env.zoom = "0.5";
    EXPECT_FALSE(runScripted(editor, env).failure);
    QFile written(QFile::decodeName(output));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const Rgba png = decodePng(written.readAll());
    EXPECT_EQ(png.width, 128);
    EXPECT_EQ(png.at(0, 0, 3), 0); // a margin, not a squeezed picture
    EXPECT_EQ(png.at(64, 64, 3), 255);
}

TEST(ScriptedRun, CopyFillsTheClipboardAndWritesNoFileAtTheSavePath) {
    const QByteArray output = tempFolder() + "/not-written.png";
    EmojiEditor editor;
    ScriptedRunEnvironment env = saveRun(output);
    env.copy = QByteArray(); // present, empty
    const ScriptedRunOutcome outcome = runScripted(editor, env);
    EXPECT_TRUE(outcome.copied);
    EXPECT_FALSE(outcome.failure);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(output)));
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(clipboard);
    EXPECT_EQ(clipboard->data(QStringLiteral("image/png")), *editor.renderEmojiPNG(128));
}
