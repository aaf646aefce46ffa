#pragma once

#include "widgets/Theme.h"

#include <QLabel>

namespace cropling {

// A label drawn at an emphasis level of the application's palette, kept in step when the palette
// changes.
class TintedLabel : public QLabel {
    Q_OBJECT
public:
    TintedLabel(const QString& text, theme::Emphasis emphasis, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyEmphasis();
    theme::Emphasis emphasis_;
};

} // namespace cropling
