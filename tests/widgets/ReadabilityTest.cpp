#include "PictureFixtures.h"
#include "DarkPalette.h"
#include "WindowFixture.h"

#include "widgets/preview/PreviewColumn.h"

#include <QLabel>
#include <QPalette>
#include <QStyle>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace cropling;
using namespace cropling::test;

namespace {

double luminance(const QColor& c) {
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The contrast of a label's text with the ground behind it, on a grab of the whole window: the
// ground is the commonest colour of the label's area, the ink the colour furthest from it.
double textContrast(const QImage& window, const QWidget* label, const QWidget* top) {
    const QRect area(label->mapTo(top, QPoint(0, 0)) * window.devicePixelRatio(), label->size() * window.devicePixelRatio());
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[window.pixel(x, y)];
    QRgb ground = 0;
    int most = 0;
    for (const auto& [colour, count] : counts)
        if (count > most)
            most = count, ground = colour;
    double best = 1;
    for (const auto& [colour, count] : counts)
        best = std::max(best, contrast(QColor(colour), QColor(ground)));
    return best;
}

} // namespace

TEST(Readability, SecondaryTextsReachFourAndAHalfToOneAndTertiaryOnesThreeInLightAndDarkThemes) {
    const QPalette original = QApplication::palette();
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        WindowFixture empty;
        const QImage emptyShot = empty.window->grab().toImage();
        QLabel* placeholder = empty.label(QStringLiteral("Drop or paste a photo here\nor click to choose"));
        ASSERT_TRUE(placeholder);
        EXPECT_GE(textContrast(emptyShot, placeholder, empty.window), 4.5) << "placeholder, dark " << dark;

        WindowFixture w;
        w.editor().setImage(makePicture(makeImage(300, 200, 3, [](int x, int, int) { return x & 255; })), QStringLiteral("x"));
        w.editor().status()->set(QStringLiteral("Saved party.png — 128×128, 3 KB"));
        for (const bool darkChat : {false, true}) {
            w.mockup()->setDark(darkChat);
            QApplication::processEvents();
            const QImage shot = w.window->grab().toImage();
            for (const QString& text : {QStringLiteral("Drag to reposition, slide to zoom"), QStringLiteral("Saved party.png — 128×128, 3 KB"),
                                        QStringLiteral("2:47 PM")}) {
                QLabel* label = w.label(text);
                ASSERT_TRUE(label) << text.toStdString();
                EXPECT_GE(textContrast(shot, label, w.window), 4.5)
                    << text.toStdString() << ", dark window " << dark << ", dark chat " << darkChat;
            }
            // The tertiary note is readable, and visibly lighter than the secondary hint.
            const double hint = textContrast(shot, w.label(QStringLiteral("Drag to reposition, slide to zoom")), w.window);
            const double note = textContrast(shot, w.label(PreviewColumn::note()), w.window);
            EXPECT_GE(note, 3.0) << "dark window " << dark;
            EXPECT_LT(note, hint * 0.85) << "dark window " << dark;
        }
        // A failure is drawn in its own colour, as readable as the rest.
        const QString failure = QStringLiteral("Couldn't open cat.jpg: damaged");
        w.editor().status()->set(failure, EditorStatus::Kind::Failure);
        QApplication::processEvents();
        QLabel* failureLabel = w.label(failure);
        ASSERT_TRUE(failureLabel);
        EXPECT_GE(textContrast(w.window->grab().toImage(), failureLabel, w.window), 4.5) << "failure, dark " << dark;
    }
    QApplication::setPalette(original);
}

TEST(Readability, ALongUnbrokenNameWrapsInsideTheColumn) {
    WindowFixture w;
    const QString message = QStringLiteral("Saved ") + QString(120, u'x') + QStringLiteral(".png — 128×128, 3 KB");
    w.editor().status()->set(message);
    QApplication::processEvents();
    QLabel* status = nullptr;
    for (QLabel* label : w.window->findChildren<QLabel*>())
        if (label->text().remove(QChar(0x200B)) == message)
            status = label;
    ASSERT_TRUE(status);
    const QWidget* column = w.window->findChild<PreviewColumn*>();
    EXPECT_LE(status->mapTo(column, QPoint(status->width(), 0)).x(), column->width());
    EXPECT_GT(status->height(), 2 * status->fontMetrics().height()); // it wrapped
    // Screen readers read the message as it is, without the wrap's invisible break points.
    EXPECT_EQ(status->accessibleName(), message);
}

TEST(Readability, NothingIsCutOffAtLargeFontSizes) {
    const QFont original = QApplication::font();
    for (const int points : {16, 20}) {
        QFont large = original;
        large.setPointSize(points);
        QApplication::setFont(large);
        WindowFixture w;
        w.editor().setImage(makePicture(makeImage(300, 200, 3, [](int x, int, int) { return x & 255; })), QStringLiteral("x"));
        w.settle();
        w.expectNothingClipped();
    }
    QApplication::setFont(original);
}
