#pragma once

// One real window on the offscreen platform, shown and settled, with ways to reach its parts.

#include "app/MainWindow.h"
#include "model/EmojiEditor.h"
#include "widgets/editor/CropArea.h"
#include "widgets/preview/ChatMockup.h"
#include "widgets/preview/EmojiSquare.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace cropling::test {

struct WindowFixture {
    WindowFixture() : window(new MainWindow) {
        window->show();
        QApplication::processEvents();
    }
    ~WindowFixture() { delete window; }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    EmojiEditor& editor() const { return *window->editor(); }
    CropArea* cropArea() const { return window->findChild<CropArea*>(); }
    ChatMockup* mockup() const { return window->findChild<ChatMockup*>(); }
    QImage grabMockup() const { return mockup()->grab().toImage(); }
    QList<EmojiSquare*> squares() const { return mockup()->findChildren<EmojiSquare*>(); }
    template <typename Widget>
    Widget* withText(const QString& text) const {
        for (Widget* w : window->findChildren<Widget*>())
            if (w->text() == text)
                return w;
        return nullptr;
    }
    QLabel* label(const QString& text) const { return withText<QLabel>(text); }
    QPushButton* button(const QString& text) const { return withText<QPushButton>(text); }

    // Runs the event loop until the window's background work is done.
    bool settle() const {
        return QTest::qWaitFor([this] { return !editor().isBusy(); }, 10000) && (QTest::qWait(20), true);
    }

    MainWindow* window;
};

} // namespace cropling::test
