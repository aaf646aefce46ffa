#pragma once

// The status line under the export buttons: a note in the secondary text colour, or a failure in
// the error colour after a warning symbol, announced to screen readers as an alert. Long file names
// wrap inside the column; what screen readers read is the message as it is.

#include <QWidget>

class QLabel;

namespace cropling {

class StatusLine : public QWidget {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // Nothing hides the line: no space, no gap.
    void showMessage(const std::optional<QString>& message, bool failure);
    QLabel* textLabel() const { return text_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyStyle();
    QLabel* symbol_;
    QLabel* text_;
    bool failure_ = false;
};

} // namespace cropling
