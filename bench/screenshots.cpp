// Makes the README's screenshots: a window with a sample photo framed, in a light and a dark
// palette, drawn offscreen so that no desktop theme leaks in.
//
//   build/bench/screenshots PHOTO OUT-LIGHT.png OUT-DARK.png [FITTED-LIGHT.png FITTED-DARK.png [GERMAN-LARGE.png]]
//
// The last is the window in German with a 14-point font, the widest it gets.

#include "DarkPalette.h"

#include "app/MainWindow.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"
#include "widgets/preview/ChatMockup.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyle>
#include <QTemporaryFile>
#include <QTest>
#include <QTranslator>

#include <cstdio>

using namespace cropling;
using cropling::test::darkPalette;

namespace {

// The framed photo; or, with `fitted`, the whole photo fitted into the square after a failed
// open, which shows the transparent margin, the zoom readout at its lowest and an error; or, with
// `effect`, the party effect playing with a caption.
bool shoot(const QByteArray& photo, const QString& out, bool dark, bool fitted = false, bool effect = false) {
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
    MainWindow window;
    window.show();
    window.editor()->load(urlFromLocalPath(photo));
    if (!QTest::qWaitFor([&] { return window.editor()->image() && !window.editor()->isBusy(); }, 20000))
        return false;
    if (fitted) {
        window.editor()->fitToSquare();
        window.editor()->setStatusMessage(QStringLiteral("Couldn't open notes.txt: not a picture Cropling can open"),
                                          EmojiEditor::StatusKind::Failure);
    } else {
        window.editor()->setZoom(1.6);
        window.editor()->setOffset({30, -20});
    }
    window.findChild<ChatMockup*>()->setDark(dark);
    if (effect) {
        EffectSettings party;
        party.effect = Effect::Party;
        party.caption = QStringLiteral("so good");
        window.editor()->setEffect(party);
        if (!QTest::qWaitFor([&] { return window.editor()->effectFrame() != nullptr; }, 10000))
            return false;
        QTest::qWait(250); // a few frames on, the colours turned
    }
    QTest::qWait(100);
    return window.grab().save(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 6 && argc != 7 && argc != 9) {
        std::fprintf(stderr, "usage: screenshots PHOTO OUT-LIGHT.png OUT-DARK.png [FITTED-LIGHT.png FITTED-DARK.png "
                             "[GERMAN-LARGE.png [EFFECT-LIGHT.png EFFECT-DARK.png]]]\n");
        return 2;
    }
    // A screen as large as a desktop's, so the window is drawn at its own size, not cut to fit
    // the offscreen platform's small default screen.
    QTemporaryFile screens;
    if (!screens.open())
        return 1;
    screens.write(R"({"screens":[{"name":"desktop","x":0,"y":0,"width":1600,"height":1000,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication app(argc, argv);
    const QByteArray photo(argv[1]);
    bool ok = shoot(photo, QFile::decodeName(argv[2]), false) && shoot(photo, QFile::decodeName(argv[3]), true);
    if (argc >= 6)
        ok = ok && shoot(photo, QFile::decodeName(argv[4]), false, true) && shoot(photo, QFile::decodeName(argv[5]), true, true);
    if (argc == 9)
        ok = ok && shoot(photo, QFile::decodeName(argv[7]), false, false, true) && shoot(photo, QFile::decodeName(argv[8]), true, false, true);
    if (argc >= 7) {
        QTranslator german;
        ok = ok && german.load(QStringLiteral(":/i18n/cropling_de.qm"));
        QCoreApplication::installTranslator(&german);
        QFont larger = QApplication::font();
        larger.setPointSize(14);
        QApplication::setFont(larger);
        ok = ok && shoot(photo, QFile::decodeName(argv[6]), false);
    }
    return ok ? 0 : 1;
}
