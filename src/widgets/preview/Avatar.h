#pragma once

#include <QWidget>

namespace cropling {

// The sender's 36-pixel avatar: a purple-to-pink diagonal gradient in a rounded square with a bold
// white letter.
class Avatar : public QWidget {
    Q_OBJECT
public:
    explicit Avatar(const QString& letter, QWidget* parent = nullptr);

    static constexpr int kSide = 36;
    static constexpr double kRadius = 6.0;
    static QColor purple() { return QColor(0xaf, 0x52, 0xde); }
    static QColor pink() { return QColor(0xff, 0x2d, 0x55); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace cropling
