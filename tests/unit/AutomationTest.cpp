#include "PictureFixtures.h"

#include "app/Automation.h"
#include "app/ContentView.h"
#include "export/EmojiRenderer.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace cropling;
using namespace cropling::test;

namespace {

QByteArray landscapeFile() {
    static const QByteArray path = writeTempFile(
        "Wide Shot.png", encode(makeImage(400, 300, 3, [](int x, int y, int b) { return (x * 3 + y * (b + 1)) & 255; }), ".png"));
    return path;
}

AutomationEnvironment saveRun(const QByteArray& output) {
    AutomationEnvironment env;
    env.open = landscapeFile();
    env.save = output;
    return env;
}

} // namespace

TEST(NumberSyntax, AcceptsWholeStrtodNumbersOnly) {
    for (const char* text : {"1.5", "-3", "2e0", "+0.75", "0x1p1", "inf", "-Infinity", "1e-3", ".5"})
        EXPECT_TRUE(parseNumber(text)) << text;
    EXPECT_EQ(*parseNumber("0x1p1"), 2.0);
    EXPECT_TRUE(std::isnan(*parseNumber("nan")));
    for (const char* text : {"", " 1.5", "\t2", "1.5 ", "1,5", "abc", "1.5x", "--1", "\n1"})
        EXPECT_FALSE(parseNumber(text)) << '"' << text << '"';
    EXPECT_FALSE(parseNumber(QByteArray("1\0" "5", 3)));
}

TEST(NumberSyntax, IgnoresACommaDecimalLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    const auto value = parseNumber("1.5");
    std::setlocale(LC_NUMERIC, previous.c_str());
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, 1.5);
}

TEST(ScriptedRun, OpenAloneStaysInteractiveAndSaveAloneDoesNothing) {
    ContentView editor;
    AutomationEnvironment env;
    env.save = tempFolder() + "/unused.png";
    EXPECT_FALSE(runAutomation(editor, env).batch);
    EXPECT_FALSE(editor.image());

    env = {};
    env.open = landscapeFile();
    env.zoom = "3";
    const AutomationOutcome outcome = runAutomation(editor, env);
    EXPECT_FALSE(outcome.batch);
    ASSERT_TRUE(editor.image());
    EXPECT_EQ(editor.zoom(), 1); // the zoom only counts in a batch run
    EXPECT_EQ(editor.emojiName(), QStringLiteral("wide-shot"));
}

TEST(ScriptedRun, SetsZoomAndClampedOffsetBeforeWriting) {
    const QByteArray output = tempFolder() + "/zoomed.png";
    ContentView editor;
    AutomationEnvironment env = saveRun(output);
    env.zoom = "2";
    env.offsetX = "1e6";
    env.offsetY = "-25";
    const AutomationOutcome outcome = runAutomation(editor, env);
    EXPECT_TRUE(outcome.batch);
    EXPECT_FALSE(outcome.failure);
    EXPECT_EQ(editor.zoom(), 2);
    // 400 x 300 at zoom 2: limits (283.33, 170).
    EXPECT_NEAR(editor.offset().width, 850.0 / 3, 1e-9);
    EXPECT_EQ(editor.offset().height, -25);
    QFile written(QFile::decodeName(output));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), *editor.renderEmojiPNG(128));
}

TEST(ScriptedRun, OffsetNeedsBothHalvesAndRejectedNumbersAreSkipped) {
    ContentView editor;
    AutomationEnvironment env = saveRun(tempFolder() + "/half.png");
    env.zoom = " 2";
    env.offsetX = "40";
    runAutomation(editor, env);
    EXPECT_EQ(editor.zoom(), 1);
    EXPECT_EQ(editor.offset(), (SizeD{0, 0}));

    env.offsetY = "1,5";
    runAutomation(editor, env);
    EXPECT_EQ(editor.offset(), (SizeD{0, 0}));
}

TEST(ScriptedRun, ReportsWhyNothingWasDelivered) {
    ContentView editor;
    AutomationEnvironment env = saveRun(tempFolder() + "/no-such-folder/out.png");
    AutomationOutcome outcome = runAutomation(editor, env);
    ASSERT_TRUE(outcome.failure);
    EXPECT_TRUE(outcome.failure->startsWith(QStringLiteral("Save failed: ")));
    EXPECT_EQ(outcome.exitCode(), 1);

    const QByteArray output = tempFolder() + "/nan.png";
    env = saveRun(output);
    env.zoom = "nan";
    outcome = runAutomation(editor, env);
    EXPECT_EQ(outcome.failure, QStringLiteral("Couldn't render the emoji."));
    EXPECT_FALSE(QFile::exists(QFile::decodeName(output)));

    env = saveRun(output);
    env.open = tempFolder() + "/absent.png";
    ContentView fresh;
    outcome = runAutomation(fresh, env);
    EXPECT_EQ(outcome.failure, QStringLiteral("Couldn't open absent.png"));
}

TEST(ScriptedRun, ZoomBelowOneStretchesTheWholePicture) {
    const QByteArray output = tempFolder() + "/stretched.png";
    ContentView editor;
    AutomationEnvironment env = saveRun(output);
    env.zoom = "0.5";
    EXPECT_FALSE(runAutomation(editor, env).failure);
    EXPECT_EQ(emojiSourcePixels(400, 300, editor.zoom(), editor.offset()), (PixelRect{0, 0, 400, 300}));
    QFile written(QFile::decodeName(output));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const Rgba png = decodePng(written.readAll());
    EXPECT_EQ(png.width, 128);
    EXPECT_EQ(png.at(0, 0, 3), 255); // no transparent margin
}

TEST(ScriptedRun, CopyFillsTheClipboardAndWritesNoFileAtTheSavePath) {
    const QByteArray output = tempFolder() + "/not-written.png";
    ContentView editor;
    AutomationEnvironment env = saveRun(output);
    env.copy = QByteArray(); // present, empty
    const AutomationOutcome outcome = runAutomation(editor, env);
    EXPECT_TRUE(outcome.copied);
    EXPECT_FALSE(outcome.failure);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(output)));
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(clipboard);
    EXPECT_EQ(clipboard->data(QStringLiteral("image/png")), *editor.renderEmojiPNG(128));
}
