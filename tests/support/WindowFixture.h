#pragma once

// One real window on the offscreen platform, shown and settled, with ways to reach its parts.

#include "app/MainWindow.h"
#include "model/EmojiEditor.h"
#include "widgets/editor/CropArea.h"
#include "widgets/preview/ChatMockup.h"
#include "widgets/preview/EmojiSquare.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QSlider>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

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

    // Every visible button at least as wide as it asks to be, every label that does not wrap as
    // wide as its longest line: nothing cut off.
    void expectNothingClipped() const {
        for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->isVisibleTo(window)) {
                EXPECT_GE(button->width(), button->sizeHint().width()) << "clipped: " << button->text().toStdString();
            }
        }
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(window) || label->wordWrap() || label->text().isEmpty())
                continue;
            for (const QString& line : label->text().split(u'\n')) {
                EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(line)) << "clipped: " << line.toStdString();
            }
        }
    }

    // No text or control lies over another: the layouts grow with their texts.
    void expectNothingOverlaps() const {
        std::vector<std::pair<const QWidget*, QRect>> shown;
        for (const QWidget* widget : window->findChildren<QWidget*>()) {
            const auto* label = qobject_cast<const QLabel*>(widget);
            const bool control = qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
                                 qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QSlider*>(widget);
            if (!widget->isVisibleTo(window) || !(control || (label && !label->text().isEmpty())))
                continue;
            // A label's text, not the room its layout gave it.
            QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
            if (label && !label->wordWrap()) {
                int text = 0;
                for (const QString& line : label->text().split(u'\n'))
                    text = std::max(text, label->fontMetrics().horizontalAdvance(line) + 1);
                if (label->alignment() & Qt::AlignRight)
                    area.setLeft(std::max(area.left(), area.right() - text));
                else if (!(label->alignment() & Qt::AlignHCenter))
                    area.setWidth(std::min(area.width(), text));
            }
            shown.emplace_back(widget, area);
        }
        for (size_t i = 0; i < shown.size(); ++i) {
            for (size_t j = i + 1; j < shown.size(); ++j) {
                const auto& [a, ra] = shown[i];
                const auto& [b, rb] = shown[j];
                if (a->isAncestorOf(b) || b->isAncestorOf(a))
                    continue;
                EXPECT_FALSE(ra.intersects(rb)) << "overlap: " << a->metaObject()->className() << " '"
                                                << a->accessibleName().toStdString() << "' and "
                                                << b->metaObject()->className() << " '"
                                                << b->accessibleName().toStdString() << "'";
            }
        }
    }

    MainWindow* window;
};

} // namespace cropling::test
