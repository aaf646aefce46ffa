// Makes the README's screenshots: a window with a sample photo framed, in a light and a dark
// palette, drawn offscreen so that no desktop theme leaks in.
//
//   build/bench/screenshots PHOTO OUT-LIGHT.png OUT-DARK.png

#include "DarkPalette.h"

#include "app/MainWindow.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"
#include "widgets/preview/ChatMockup.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyle>
#include <QTest>

#include <cstdio>

using namespace cropling;
using cropling::test::darkPalette;

namespace {

bool shoot(const QByteArray& photo, const QString& out, bool dark) {
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
    MainWindow window;
    window.show();
    window.editor()->load(urlFromLocalPath(photo));
    if (!QTest::qWaitFor([&] { return window.editor()->image() && !window.editor()->isBusy(); }, 20000))
        return false;
    window.editor()->setZoom(1.6);
    window.editor()->setOffset({30, -20});
    window.findChild<ChatMockup*>()->setDark(dark);
    QTest::qWait(100);
    return window.grab().save(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: screenshots PHOTO OUT-LIGHT.png OUT-DARK.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray photo(argv[1]);
    return shoot(photo, QFile::decodeName(argv[2]), false) && shoot(photo, QFile::decodeName(argv[3]), true) ? 0 : 1;
}
