#pragma once

// The emoji name between two colons, in a monospaced face on a softly rounded ground. Every edit
// goes straight into the editor's name, unfiltered.

#include <QWidget>

class QLineEdit;

namespace cropling {

class ContentView;

class NameRow : public QWidget {
    Q_OBJECT
public:
    explicit NameRow(ContentView* editor, QWidget* parent = nullptr);
    QLineEdit* field() const { return field_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void syncFromEditor();
    ContentView* editor_;
    QLineEdit* field_;
};

} // namespace cropling
