#include "PictureFixtures.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenuBar>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

namespace {

// Every text a person reads in a window with a picture and a status message, in a fixed order.
QStringList textsOf(WindowFixture& w) {
    w.editor().setImage(makePicture(makeImage(300, 200, 3, [](int x, int, int) { return x & 255; })), QStringLiteral("x"));
    w.editor().status()->set(w.editor().renderFailure());
    w.settle();
    QStringList texts;
    for (const QLabel* label : w.window->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    for (const QAbstractButton* button : w.window->findChildren<QAbstractButton*>())
        if (!button->text().isEmpty())
            texts << button->text();
    for (const QAction* action : w.window->menuBar()->findChildren<QAction*>())
        if (!action->text().isEmpty())
            texts << action->text();
    for (const QWidget* widget : w.window->findChildren<QWidget*>())
        if (!widget->accessibleName().isEmpty())
            texts << widget->accessibleName();
    return texts;
}

} // namespace

TEST(Translation, GermanLeavesNothingUntranslatedOrClipped) {
    WindowFixture english;
    const QStringList source = textsOf(english);

    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral(":/i18n/cropling_de.qm")));
    QCoreApplication::installTranslator(&german);
    WindowFixture w;
    const QStringList translated = textsOf(w);
    ASSERT_EQ(translated.size(), source.size());
    // Names, data and symbols read the same in every language.
    const QStringList same = {QStringLiteral(":"), QStringLiteral("Y"), QStringLiteral("x"), QStringLiteral("Zoom")};
    for (qsizetype i = 0; i < source.size(); ++i) {
        // The zoom readout is a number, written by the locale rather than the catalogue.
        if (!same.contains(source[i]) && !source[i].endsWith(u'×')) {
            EXPECT_NE(translated[i], source[i]) << "untranslated: " << source[i].toStdString();
        }
    }

    w.expectNothingClipped();
    w.expectNothingOverlaps();

    // With a larger desktop font, a still and an animation alike fit a laptop's screen with room
    // for the panel, unclipped and with nothing lying over anything else.
    const QFont before = QApplication::font();
    QFont larger = before;
    larger.setPointSize(14);
    QApplication::setFont(larger);
    {
        WindowFixture big;
        textsOf(big);
        const QSize still = big.window->size();
        big.editor().setImage(Picture::animated({makePicture(makeImage(300, 200, 4, [](int, int, int) { return 200; })),
                                                 makePicture(makeImage(300, 200, 4, [](int, int, int) { return 90; }))},
                                                {100, 100}, 0),
                              QStringLiteral("y"));
        big.settle();
        EXPECT_EQ(big.window->size(), still);
        EXPECT_LE(still.width(), 1366);
        EXPECT_LE(still.height(), 740);
        big.expectNothingClipped();
        big.expectNothingOverlaps();
    }
    QApplication::setFont(before);
    QCoreApplication::removeTranslator(&german);
}
