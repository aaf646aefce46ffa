#include "PictureFixtures.h"

#include "io/LocalPath.h"
#include "model/EmojiEditor.h"

#include <QMimeData>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

TEST(Paste, FileLocationsBeatImageDataAndNonImagesFallThrough) {
    const QByteArray data = encode(makeImage(30, 20, 3, [](int, int, int) { return 200; }), ".png");
    EmojiEditor editor;

    QMimeData both;
    both.setUrls({urlFromLocalPath(writePictureFile("Clip Board.png"))});
    both.setData(QStringLiteral("image/png"), data);
    editor.pasteFrom(&both);
    EXPECT_EQ(editor.emojiName(), QStringLiteral("clip-board"));

    QMimeData textFile;
    textFile.setUrls({urlFromLocalPath(writeTempFile("notes.txt", "hello"))});
    textFile.setData(QStringLiteral("image/png"), data);
    editor.pasteFrom(&textFile);
    EXPECT_EQ(editor.emojiName(), QStringLiteral("pasted-emoji"));
    EXPECT_EQ(editor.image()->pixelWidth(), 30);

    QMimeData gnome;
    gnome.setData(QStringLiteral("x-special/gnome-copied-files"),
                  "copy\n" + urlFromLocalPath(writePictureFile("From Files.png")).toEncoded());
    editor.pasteFrom(&gnome);
    EXPECT_EQ(editor.emojiName(), QStringLiteral("from-files"));

    // An image file that does not decode is reported; the data beside it is not tried.
    QMimeData broken;
    broken.setUrls({urlFromLocalPath(writeTempFile("broken.png", QByteArray("\x89PNG\r\n\x1a\n garbage", 17)))});
    broken.setData(QStringLiteral("image/png"), data);
    editor.pasteFrom(&broken);
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't open broken.png: damaged"));
    EXPECT_EQ(editor.emojiName(), QStringLiteral("from-files"));

    QMimeData words;
    words.setText(QStringLiteral("just text"));
    editor.pasteFrom(&words);
    EXPECT_EQ(editor.status()->message(), QStringLiteral("No image on the clipboard."));
    EXPECT_TRUE(editor.image());
    editor.pasteFrom(nullptr);
    EXPECT_EQ(editor.status()->message(), QStringLiteral("No image on the clipboard."));
}
