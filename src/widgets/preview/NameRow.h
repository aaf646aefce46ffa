#pragma once

// The emoji name between two colons, in a fixed-pitch face on a softly rounded ground. Every edit
// goes straight into the editor's name, unfiltered.

#include <QWidget>

class QLineEdit;

namespace cropling {

class EmojiEditor;

class NameRow : public QWidget {
    Q_OBJECT
public:
    explicit NameRow(EmojiEditor* editor, QWidget* parent = nullptr);
    QLineEdit* field() const { return field_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showName();
    EmojiEditor* editor_;
    QLineEdit* field_;
};

} // namespace cropling
