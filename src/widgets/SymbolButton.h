#pragma once

// A flat button showing a monochrome SVG symbol in the palette's text colour: a real button for
// the keyboard and screen readers, redrawn when the palette or the screen's pixel ratio changes.

#include <QToolButton>

namespace cropling {

class SymbolButton : public QToolButton {
    Q_OBJECT
public:
    SymbolButton(const QString& resource, QSize size, const QString& name, QWidget* parent = nullptr);
    // Another symbol and the name that goes with it, for a button whose action changes (play, pause).
    void setSymbol(const QString& resource, const QString& name);

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshIcon();
    QString resource_;
    QSize size_;
};

} // namespace cropling
