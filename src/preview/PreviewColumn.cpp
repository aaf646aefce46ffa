#include "PreviewColumn.h"

#include "app/ContentView.h"
#include "app/Style.h"
#include "app/WindowActions.h"
#include "preview/NameRow.h"
#include "preview/SlackMockup.h"

#include <QAction>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace cropling {

namespace {

// A button that mirrors an action: its text, its enabled state, and a click triggers it. The
// shortcut stays with the action alone.
QPushButton* buttonFor(QAction* action, QWidget* parent) {
    auto* button = new QPushButton(action->text(), parent);
    button->setAutoDefault(false);
    button->setEnabled(action->isEnabled());
    button->setToolTip(action->shortcut().toString(QKeySequence::NativeText));
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
    return button;
}

QPushButton* segment(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setCheckable(true);
    button->setAutoDefault(false);
    return button;
}

} // namespace

const QString& PreviewColumn::note() {
    static const QString text = QStringLiteral(
        "Saves a 128×128 PNG — Slack's max size for custom emoji.\nUpload it at Slack → Customize Workspace → Emoji.");
    return text;
}

PreviewColumn::PreviewColumn(ContentView* editor, const WindowActions* actions, QWidget* parent)
    : QWidget(parent), editor_(editor) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Slack Preview"), this);
    title->setFont(style::headline());
    header->addWidget(title);
    header->addStretch(1);
    auto* appearance = new QWidget(this);
    appearance->setFixedWidth(140);
    appearance->setAccessibleName(tr("Preview appearance"));
    auto* segments = new QHBoxLayout(appearance);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    light_ = segment(QStringLiteral("Light"), appearance);
    dark_ = segment(QStringLiteral("Dark"), appearance);
    auto* group = new QButtonGroup(appearance);
    group->setExclusive(true);
    group->addButton(light_);
    group->addButton(dark_);
    segments->addWidget(light_);
    segments->addWidget(dark_);
    header->addWidget(appearance);
    column->addLayout(header);

    column->addWidget(new SlackMockup(editor_, this));

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    style::setForeground(divider, style::separator());
    column->addWidget(divider);

    column->addWidget(new NameRow(editor_, this), 0, Qt::AlignLeft);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(buttonFor(actions->save, this));
    buttons->addWidget(buttonFor(actions->copy, this));
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto* status = new style::TintedLabel(QString(), style::Level::Secondary, this);
    status->setTextFormat(Qt::PlainText); // file names with * _ < & show as they are
    status->setFont(style::caption());
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = status;
    column->addWidget(status_);

    auto* noteLabel = new style::TintedLabel(note(), style::Level::Tertiary, this);
    noteLabel->setTextFormat(Qt::PlainText);
    noteLabel->setFont(style::caption());
    noteLabel->setWordWrap(true);
    column->addWidget(noteLabel);

    setFixedWidth(SlackMockup::kWidth);
    connect(light_, &QPushButton::clicked, editor_, [this] { editor_->setDarkPreview(false); });
    connect(dark_, &QPushButton::clicked, editor_, [this] { editor_->setDarkPreview(true); });
    connect(editor_, &ContentView::changed, this, &PreviewColumn::syncFromEditor);
    syncFromEditor();
}

void PreviewColumn::syncFromEditor() {
    (editor_->darkPreview() ? dark_ : light_)->setChecked(true);
    const auto& message = editor_->saveMessage();
    // Without a message the line does not exist: no space and no gap.
    status_->setVisible(message.has_value());
    status_->setText(message.value_or(QString()));
}

} // namespace cropling
