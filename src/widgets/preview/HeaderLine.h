#pragma once

#include <QWidget>

class QLabel;

namespace cropling {

// A message's sender name and time side by side, 6 pixels apart, their first baselines on one line.
class HeaderLine : public QWidget {
    Q_OBJECT
public:
    // Takes both labels as children.
    HeaderLine(QLabel* name, QLabel* time, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int baseline() const;
    QLabel* name_;
    QLabel* time_;
};

} // namespace cropling
