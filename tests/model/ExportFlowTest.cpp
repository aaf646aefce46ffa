#include "PictureFixtures.h"

#include "core/StatusText.h"
#include "gif/GifEncoder.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace cropling;
using namespace cropling::test;

namespace {

void loadSample(EmojiEditor& editor) {
    editor.load(urlFromLocalPath(writeTempFile(
        "sample.png", encode(makeImage(200, 160, 3, [](int x, int y, int b) { return (x + y + b * 50) & 255; }), ".png"))));
    ASSERT_TRUE(editor.image());
}

} // namespace

TEST(SaveFlow, CancelConfirmRenameAndFailure) {
    EmojiEditor editor;
    QString suggested;
    std::optional<QByteArray> answer;
    editor.setSaveDialog([&](const QString& name) {
        suggested = name;
        return answer;
    });

    editor.save();
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't render the emoji."));
    EXPECT_TRUE(suggested.isEmpty()); // no dialog without a picture

    loadSample(editor);
    editor.setEmojiName(QString());
    answer = tempFolder() + "/Renamed Party.png";
    editor.save();
    EXPECT_EQ(suggested, QStringLiteral("emoji.png"));
    const QByteArray saved = readFile(*answer);
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_EQ(saved, *editor.renderEmojiPNG(128));
    EXPECT_EQ(editor.status()->message(), savedMessage(QStringLiteral("Renamed Party.png"), saved.size()));

    const auto before = editor.status()->message();
    answer.reset();
    editor.save();
    EXPECT_EQ(editor.status()->message(), before);

    answer = tempFolder() + "/missing-folder/x.png";
    editor.save();
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Save failed: No such file or directory"));
}

TEST(CopyFlow, PutsPngAndFileOnTheClipboard) {
    const QByteArray runtime = tempFolder() + "/runtime";
    ::mkdir(runtime.constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime);

    EmojiEditor editor;
    loadSample(editor);
    editor.setEmojiName(QStringLiteral("party parrot"));
    editor.copyToClipboard();
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Copied party parrot.png to clipboard — 128×128"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    const QByteArray png = *editor.renderEmojiPNG(128);
    EXPECT_EQ(data->data(QStringLiteral("image/png")), png);
    ASSERT_EQ(data->urls().size(), 1);
    const QByteArray file = localPathBytes(data->urls().constFirst());
    EXPECT_EQ(file, runtime + "/Cropling/party parrot.png");
    EXPECT_EQ(readFile(file), png);
    EXPECT_EQ(data->data(QStringLiteral("x-special/gnome-copied-files")),
              "copy\n" + data->urls().constFirst().toEncoded());

    // A name that would leave the folder writes no file; the PNG data still goes out.
    editor.setEmojiName(QStringLiteral("../escape"));
    editor.copyToClipboard();
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Copied ../escape.png to clipboard — 128×128"));
    data = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(data->urls().isEmpty());
    EXPECT_EQ(data->data(QStringLiteral("image/png")), png);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(runtime + "/escape.png")));
}

TEST(CopyFlow, NoPictureLeavesTheClipboardAlone) {
    auto* marker = new QMimeData;
    marker->setText(QStringLiteral("keep me"));
    QGuiApplication::clipboard()->setMimeData(marker);
    EmojiEditor editor;
    editor.copyToClipboard();
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't render the emoji."));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("keep me"));
}

TEST(SaveFlow, AnAnimationSavesAsAGifOrAsItsFirstFrameWhenAPngIsChosen) {
    EmojiEditor editor;
    editor.load(urlFromLocalPath(QByteArray(CROPLING_SOURCE_DIR "/tests/fixtures/animation/restore-previous.gif")));
    ASSERT_TRUE(editor.image() && editor.image()->frameCount() == 3);
    QString suggested;
    std::optional<QByteArray> answer = tempFolder() + "/party.gif";
    editor.setSaveDialog([&](const QString& name) {
        suggested = name;
        return answer;
    });
    editor.setEmojiName(QStringLiteral("party"));
    editor.save();
    EXPECT_EQ(suggested, QStringLiteral("party.gif"));
    const QByteArray gif = readFile(*answer);
    ASSERT_TRUE(gif.startsWith("GIF89a"));
    EXPECT_EQ(editor.status()->message(), savedMessage(QStringLiteral("party.gif"), gif.size(), 3));

    answer = tempFolder() + "/party.png";
    editor.save();
    EXPECT_EQ(readFile(*answer), *editor.renderEmojiPNG(128));
}

TEST(SaveFlow, AnAnimationsDialogOpensAtOnceAndOneExportRunsAtATime) {
    // 120 frames, more than the chat service takes: the GIF takes a moment and keeps at most 50.
    EmojiFrames frames;
    for (int i = 0; i < 120; ++i) {
        frames.frames.push_back(makeImage(96, 96, 4, [i](int x, int y, int b) { return b == 3 ? 255 : (x * 3 + y + i * 7 + b * 60) & 255; }));
        frames.delaysMs.push_back(40);
    }
    const auto source = encodeGifWithin(frames, {100'000'000, 0});
    ASSERT_TRUE(source);
    EmojiEditor editor;
    editor.setBackgroundWork(true);
    editor.load(urlFromLocalPath(writeTempFile("long.gif", source->bytes)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.image() && !editor.isBusy() && !editor.isFirstLook(); }, 10'000));
    ASSERT_EQ(editor.image()->frameCount(), 120);
    editor.setEmojiName(QStringLiteral("long"));

    // Cancelled while the GIF is still being made: nothing is written, the message stays.
    int dialogs = 0;
    bool exportingWhileAsked = false;
    std::optional<QByteArray> answer;
    editor.setSaveDialog([&](const QString&) {
        ++dialogs;
        exportingWhileAsked = editor.isExporting();
        editor.save(); // a second Save while the first runs is ignored
        editor.copyToClipboard();
        return answer;
    });
    editor.status()->set(QStringLiteral("before"));
    editor.save();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(exportingWhileAsked);
    EXPECT_FALSE(editor.isExporting());
    EXPECT_EQ(editor.status()->message(), QStringLiteral("before"));

    // Cancelled once the GIF was made while the dialog was open: the progress goes and the
    // message before comes back.
    editor.setSaveDialog([&](const QString&) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !editor.isExporting(); }, 60'000));
        return std::optional<QByteArray>();
    });
    editor.save();
    EXPECT_EQ(editor.status()->message(), QStringLiteral("before"));

    // Another picture arrives while the dialog is open: nothing is written under the name chosen,
    // and the line says why.
    const QByteArray elsewhere = tempFolder() + "/replaced.gif";
    editor.setSaveDialog([&](const QString&) {
        editor.setImage(makePicture(makeImage(64, 64, 3, [](int, int, int) { return 90; })), QStringLiteral("other"));
        return std::optional<QByteArray>(elsewhere);
    });
    editor.save();
    EXPECT_FALSE(QFile::exists(QFile::decodeName(elsewhere)));
    EXPECT_EQ(editor.status()->message(), pictureChangedMessage());
    editor.undoStack()->undo(); // the animation again
    ASSERT_EQ(editor.image()->frameCount(), 120);

    // Confirmed: the file is written once the GIF is ready, and the message says what was kept.
    editor.setSaveDialog([&](const QString&) {
        ++dialogs;
        return answer;
    });
    answer = tempFolder() + "/long.gif";
    editor.save();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor.isExporting(); }, 60'000));
    const QByteArray gif = readFile(*answer);
    ASSERT_TRUE(gif.startsWith("GIF89a"));
    const vips::VImage read = vips::VImage::new_from_buffer(gif.constData(), size_t(gif.size()), "", vips::VImage::option()->set("n", -1));
    const int kept = read.height() / 128;
    EXPECT_LE(kept, 50);
    EXPECT_EQ(editor.status()->message(), savedMessage(QStringLiteral("long.gif"), gif.size(), kept, 120));
    EXPECT_EQ(dialogs, 2);
}
