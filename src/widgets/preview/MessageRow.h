#pragma once

// One chat message: avatar, then the sender's name and time on a shared baseline above the body.

#include <QColor>
#include <QWidget>

class QLabel;

namespace cropling {

class MessageRow : public QWidget {
    Q_OBJECT
public:
    // The name and time are drawn verbatim; the body is any widget, owned by the row from now on.
    MessageRow(const QColor& textColour, const QString& name, const QString& time, QWidget* body,
               QWidget* parent = nullptr);

    // The sender's name in this colour, the time in a softer shade of it.
    void setTextColour(const QColor& colour);

private:
    QLabel* name_;
    QLabel* time_;
};

} // namespace cropling
