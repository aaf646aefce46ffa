#pragma once

#include <QWidget>

namespace cropling {

// A one-pixel horizontal line between areas, in the palette's separator colour of the moment.
class Divider : public QWidget {
    Q_OBJECT
public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
};

} // namespace cropling
