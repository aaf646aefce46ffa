#pragma once

// The emoji name between two colons, in a fixed-pitch face on a softly rounded ground. Every edit
// goes straight into the editor's name, held to the names the chat service takes: what it cannot
// take becomes a hyphen as the user types, and nameAdjusted() says so.

#include <QWidget>

class QLineEdit;

namespace cropling {

class EmojiEditor;

class NameRow : public QWidget {
    Q_OBJECT
public:
    explicit NameRow(EmojiEditor* editor, QWidget* parent = nullptr);
    QLineEdit* field() const { return field_; }

Q_SIGNALS:
    // Whether the last edit had characters changed or dropped.
    void nameAdjusted(bool adjusted);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showName();
    void takeEdit(const QString& typed);
    EmojiEditor* editor_;
    QLineEdit* field_;
};

} // namespace cropling
