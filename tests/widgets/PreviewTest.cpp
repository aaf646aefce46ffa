#include "PictureFixtures.h"
#include "WindowFixture.h"

#include "widgets/PicturePainter.h"
#include "widgets/RoundedLayer.h"
#include "widgets/preview/Avatar.h"
#include "widgets/preview/NameRow.h"
#include "widgets/preview/PreviewColumn.h"

#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QLineEdit>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

namespace {

bool near(const QColor& a, const QColor& b, int tolerance = 2) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

using Preview = WindowFixture;

// The extreme colour inside a label's text: the darkest on a light ground, the lightest on a dark one.
QColor inkOf(const QImage& image, const QRect& area, bool dark) {
    QColor best = image.pixelColor(area.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (dark ? c.lightness() > best.lightness() : c.lightness() < best.lightness())
                best = c;
        }
    return best;
}

} // namespace

TEST(ChatMockup, BackgroundAndTextColoursOfBothLooks) {
    Preview p;
    EXPECT_EQ(p.mockup()->width(), 380);
    QLabel* words = p.label(QStringLiteral("ok this is perfect"));
    ASSERT_TRUE(words);
    const QRect wordsArea(words->mapTo(p.mockup(), QPoint(0, 0)), words->size());

    QImage light = p.grabMockup();
    EXPECT_EQ(light.pixelColor(370, 20), QColor(255, 255, 255));
    EXPECT_TRUE(near(inkOf(light, wordsArea, false), QColor(28, 28, 28), 3)) << inkOf(light, wordsArea, false).name().toStdString();

    p.mockup()->setDark(true);
    QImage dark = p.grabMockup();
    EXPECT_TRUE(near(dark.pixelColor(370, 20), QColor(26, 26, 28), 1)) << dark.pixelColor(370, 20).name().toStdString();
    EXPECT_TRUE(near(inkOf(dark, wordsArea, true), QColor(235, 235, 235), 3));
}

TEST(ChatMockup, BorderLiesInsideTheRoundedBackground) {
    Preview p;
    const QImage image = p.grabMockup();
    const int mid = image.height() / 2;
    const QColor edge = image.pixelColor(0, mid), inside = image.pixelColor(1, mid);
    EXPECT_EQ(inside, QColor(255, 255, 255));
    EXPECT_LT(edge.lightness(), 250); // the 1-pixel line is on the outermost pixel column
    EXPECT_GT(edge.lightness(), 200);
    // The corner outside the 10-pixel radius is not background white.
    EXPECT_NE(image.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(255, 255, 255));
}

TEST(ChatMockup, AvatarGradientAndPlaceholderSquares) {
    Preview p;
    const QImage avatar = p.mockup()->findChild<Avatar*>()->grab().toImage();
    EXPECT_EQ(avatar.size(), QSize(36, 36));
    EXPECT_TRUE(near(avatar.pixelColor(3, 3), Avatar::purple(), 20));
    EXPECT_TRUE(near(avatar.pixelColor(33, 33), Avatar::pink(), 20));

    const QList<EmojiSquare*> squares = p.squares();
    ASSERT_EQ(squares.size(), 2);
    EXPECT_EQ(squares[0]->size(), QSize(22, 22));
    EXPECT_EQ(squares[1]->size(), QSize(32, 32));
    EXPECT_NEAR(squares[0]->cornerRadius(), 2.64, 1e-12);
    EXPECT_NEAR(squares[1]->cornerRadius(), 3.84, 1e-12);
    const QImage mock = p.grabMockup();
    for (EmojiSquare* square : squares) {
        const QPoint at = square->mapTo(p.mockup(), QPoint(0, 0));
        const QColor centre = mock.pixelColor(at + QPoint(square->width() / 2, square->height() / 2));
        EXPECT_LT(centre.lightness(), 250); // a faint square on the white ground
        EXPECT_GT(centre.lightness(), 200);
        EXPECT_GE(mock.pixelColor(at).lightness(), 250); // its rounded corner is (almost all) cut
    }
    // In the dark look the inline placeholder follows the light text; the lone one does not.
    p.mockup()->setDark(true);
    const QImage dark = p.grabMockup();
    const QPoint inlineCentre = squares[0]->mapTo(p.mockup(), QPoint(11, 11));
    EXPECT_GT(dark.pixelColor(inlineCentre).lightness(), dark.pixelColor(370, 20).lightness());
}

TEST(ChatMockup, EmojiShowsTheSameFramingAsTheCropSquare) {
    Preview p;
    // Left half red, right half blue: at zoom 1 on a square picture the emoji splits down the middle.
    p.editor().setImage(makePicture(makeImage(300, 300, 3, [](int x, int, int b) {
                            return x < 150 ? (b == 0 ? 255 : 0) : (b == 2 ? 255 : 0);
                        })),
                        QStringLiteral("x"));
    QApplication::processEvents();
    const QImage big = p.squares()[1]->grab().toImage();
    EXPECT_TRUE(near(big.pixelColor(8, 16), QColor(255, 0, 0), 6));
    EXPECT_TRUE(near(big.pixelColor(24, 16), QColor(0, 0, 255), 6));
    p.editor().setZoom(2);
    p.editor().setOffset({170, 0}); // the picture's left edge to the square's left edge
    const QImage shifted = p.squares()[1]->grab().toImage();
    EXPECT_TRUE(near(shifted.pixelColor(24, 16), QColor(255, 0, 0), 6));
}

TEST(PreviewColumn, StatusLineIsPlainTextAndTakesNoSpaceWhenEmpty) {
    Preview p;
    QLabel* note = p.label(PreviewColumn::note());
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text(), QStringLiteral("Saves a 128×128 PNG — Slack's max size for custom emoji.\n"
                                           "Upload it at Slack → Customize Workspace → Emoji."));
    const int noteTop = note->y();
    p.editor().status()->set(QStringLiteral("Saved *bold* _x_ <b>y</b> & z.png"));
    QApplication::processEvents();
    QLabel* status = p.label(QStringLiteral("Saved *bold* _x_ <b>y</b> & z.png"));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->textFormat(), Qt::PlainText);
    EXPECT_GT(note->y(), noteTop);
    p.editor().status()->set(std::nullopt);
    QApplication::processEvents();
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(note->y(), noteTop);
}

TEST(PreviewColumn, NameFieldWritesEveryEditHeldToTheNameRule) {
    Preview p;
    QLineEdit* field = p.window->findChild<NameRow*>()->field();
    EXPECT_EQ(field->text(), QStringLiteral("my-emoji"));
    EXPECT_EQ(field->width(), 160);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(p.editor().emojiName(), QString());
    EXPECT_EQ(field->placeholderText(), QStringLiteral("emoji-name"));
    QTest::keyClicks(field, QStringLiteral("Party Time! "));
    // What parts words becomes a hyphen as it is typed, what only decorates them goes, and a note
    // says so; a hyphen at the end stays until the field is left.
    EXPECT_EQ(p.editor().emojiName(), QStringLiteral("party-time-"));
    EXPECT_EQ(field->text(), QStringLiteral("party-time-"));
    QLabel* rule = nullptr;
    for (QLabel* label : p.window->findChildren<QLabel*>())
        if (label->text().startsWith(QStringLiteral("Emoji names use")))
            rule = label;
    ASSERT_TRUE(rule);
    EXPECT_TRUE(rule->isVisibleTo(p.window));
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(rule->isVisibleTo(p.window));
    // Leaving the field takes the hyphen left at its end.
    QTest::keyClicks(field, QStringLiteral(" "));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(p.editor().emojiName(), QStringLiteral("party-time"));
    EXPECT_EQ(field->text(), QStringLiteral("party-time"));
    p.editor().setImage(makePicture(makeImage(10, 10, 3, [](int, int, int) { return 0; })), QStringLiteral("new-name"));
    EXPECT_EQ(field->text(), QStringLiteral("new-name"));
}

TEST(PreviewColumn, TypingANameRepaintsNoPicture) {
    Preview p;
    p.editor().setImage(makePicture(makeImage(400, 300, 3, [](int x, int, int) { return x & 255; })), QStringLiteral("x"));
    QApplication::processEvents();
    // Counts the paints of every view that draws the picture.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    p.cropArea()->installEventFilter(&counter);
    for (EmojiSquare* square : p.squares())
        square->installEventFilter(&counter);
    QLineEdit* field = p.window->findChild<NameRow*>()->field();
    QTest::keyClicks(field, QStringLiteral("abcdefghij"));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    // The same views do repaint when the framing changes.
    p.editor().setZoom(2);
    QApplication::processEvents();
    EXPECT_GT(counter.paints, 0);
}

TEST(PreviewColumn, ExportNeedsAPictureShortcutsIncluded) {
    Preview p;
    int asked = 0;
    p.editor().setSaveDialog([&](const QString&) {
        ++asked;
        return std::optional<QByteArray>();
    });
    QPushButton* save = p.button(QStringLiteral("Save Emoji PNG…"));
    ASSERT_TRUE(save);
    EXPECT_FALSE(save->isEnabled());
    QTest::keyClick(p.window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(p.editor().status()->message());

    p.editor().setImage(makePicture(makeImage(64, 64, 3, [](int, int, int) { return 50; })), QStringLiteral("x"));
    EXPECT_TRUE(save->isEnabled());
    QTest::keyClick(p.window, Qt::Key_S, Qt::ControlModifier);
    // The emoji is rendered in the background; the dialog follows.
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked == 1; }, 10000));
}

TEST(PreviewColumn, LightDarkSwitchChangesOnlyTheMockup) {
    Preview p;
    QWidget* nameRow = p.window->findChild<NameRow*>();
    QLabel* note = p.label(PreviewColumn::note());
    const QImage nameBefore = nameRow->grab().toImage(), noteBefore = note->grab().toImage();
    const QImage mockBefore = p.grabMockup();
    QPushButton* dark = p.button(QStringLiteral("Dark"));
    ASSERT_TRUE(dark);
    dark->click();
    EXPECT_TRUE(p.mockup()->isDark());
    EXPECT_TRUE(dark->isChecked());
    EXPECT_EQ(nameRow->grab().toImage(), nameBefore);
    EXPECT_EQ(note->grab().toImage(), noteBefore);
    EXPECT_NE(p.grabMockup(), mockBefore);
}

TEST(HiDpi, PictureIsDrawnOnceAtDevicePixels) {
    // Left half red, right half blue, painted through a 2x device: each half must cover half the
    // device pixels, not repeat as tiles or stay at 1x.
    const auto picture = makePicture(makeImage(600, 600, 3, [](int x, int, int b) {
        return x < 300 ? (b == 0 ? 255 : 0) : (b == 2 ? 255 : 0);
    }));
    QImage device(64, 64, QImage::Format_ARGB32_Premultiplied);
    device.setDevicePixelRatio(2);
    device.fill(Qt::transparent);
    double seenRatio = 0;
    {
        QPainter painter(&device);
        RoundedLayer::paint(painter, 32, 3.84, [&](QPainter& layer, double dpr) {
            seenRatio = dpr;
            PicturePainter::paint(layer, *picture, {1.0, {0, 0}}, 32, dpr);
        });
    }
    EXPECT_EQ(seenRatio, 2);
    for (const int x : {8, 24, 29})
        EXPECT_TRUE(near(device.pixelColor(x, 32), QColor(255, 0, 0), 6)) << x;
    for (const int x : {35, 40, 56})
        EXPECT_TRUE(near(device.pixelColor(x, 32), QColor(0, 0, 255), 6)) << x;
    // The rounded corner is cut at device resolution: transparent at the very corner.
    EXPECT_EQ(device.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(device.pixelColor(32, 1).alpha(), 255);
}

TEST(PreviewColumn, CtrlCInTheNameFieldCopiesTheEmojiUnlessTextIsSelected) {
    Preview p;
    p.editor().setImage(makePicture(makeImage(64, 64, 3, [](int x, int, int) { return x * 4; })), QStringLiteral("wave"));
    QLineEdit* field = p.window->findChild<NameRow*>()->field();
    field->setFocus();
    field->deselect();
    QApplication::clipboard()->clear();
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const QMimeData* data = QApplication::clipboard()->mimeData();
            return data && data->hasFormat(QStringLiteral("image/png"));
        },
        10000));

    // With text selected the field copies its text, as a text field does.
    field->setSelection(0, 2);
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("wa"));
}

TEST(PreviewColumn, TheCursorStaysAfterWhatWasTypedWhileTheNameRuleChangesIt) {
    Preview p;
    QLineEdit* field = p.window->findChild<NameRow*>()->field();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("abcd"));
    field->setCursorPosition(2);
    // Typed in the middle: an upper-case letter is lowered, a character the service refuses
    // becomes a hyphen, and the cursor stays after each.
    QTest::keyClicks(field, QStringLiteral("X "));
    EXPECT_EQ(field->text(), QStringLiteral("abx-cd"));
    EXPECT_EQ(field->cursorPosition(), 4);
    EXPECT_EQ(p.editor().emojiName(), QStringLiteral("abx-cd"));
}
