#pragma once

#include "widgets/Theme.h"

#include <QLabel>
#include <QPixmap>

namespace cropling {

// A monochrome SVG symbol from the resources, drawn at an emphasis level of the application's
// palette. It is made at paint time for the screen it is on, so it stays sharp when the window
// moves to a screen of another pixel ratio and follows a change of palette.
class SymbolLabel : public QLabel {
    Q_OBJECT
public:
    SymbolLabel(const QString& resource, QSize size, theme::Emphasis emphasis, const QString& accessibleName,
                QWidget* parent = nullptr);
    // In a fixed colour, for a symbol on a ground that does not follow the theme.
    void setFixedColour(const QColor& colour);

    // The symbol drawn in one colour at a screen's pixel ratio: what this label and SymbolButton show.
    static QPixmap tinted(const QString& resource, QSize size, const QColor& colour, double pixelRatio);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString resource_;
    QSize size_;
    theme::Emphasis emphasis_;
    QPixmap cached_;
    QColor cachedColour_;
    QColor fixedColour_;
};

} // namespace cropling
