#include "PreviewColumn.h"

#include "core/ChatTarget.h"

#include "core/StatusText.h"
#include "model/EmojiEditor.h"
#include "widgets/Divider.h"
#include "widgets/Theme.h"
#include "widgets/TintedLabel.h"
#include "widgets/preview/ChatMockup.h"
#include "widgets/preview/NameRow.h"
#include "widgets/preview/StatusLine.h"

#include <QAction>
#include <QButtonGroup>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

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
    QObject::connect(action, &QAction::changed, button, [button, action] {
        button->setEnabled(action->isEnabled());
        button->setText(action->text());
    });
    return button;
}

// The Light/Dark switch and the room around each word in it.
constexpr int kSwitchWidth = 140;
constexpr int kSegmentPadding = 12;

// A half of the switch: as wide as its word needs, not the style's width for a dialog button.
class Segment : public QPushButton {
public:
    Segment(const QString& text, QWidget* parent) : QPushButton(text, parent) {
        setCheckable(true);
        setAutoDefault(false);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(text()) + 2 * kSegmentPadding, QPushButton::sizeHint().height()};
    }

protected:
    // The chosen half is plainly marked in every theme: the desktop's accent colour behind its
    // word. A style's own checked look can be a shade apart from the other half in a dark theme.
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        if (isChecked()) {
            option.palette.setColor(QPalette::Button, palette().color(QPalette::Highlight));
            option.palette.setColor(QPalette::ButtonText, palette().color(QPalette::HighlightedText));
        }
        painter.drawControl(QStyle::CE_PushButton, option);
    }
};

QPushButton* segment(const QString& text, QWidget* parent) { return new Segment(text, parent); }

} // namespace

QString PreviewColumn::note() {
    return tr("Saves a %1 PNG — Slack's max size for custom emoji.\nUpload it at Slack → Customize Workspace → Emoji.")
        .arg(emojiSizeText());
}

QString PreviewColumn::animationNote(long long maxBytes, int maxFrames) {
    // The service is named only for its own caps: a limit the user set is theirs.
    const ChatTarget& slack = defaultChatTarget();
    if (maxBytes == slack.maxBytes && maxFrames == slack.maxFrames)
        return tr("Saves a %1 GIF of at most %2 KB and %3 frames — Slack's limit for animated emoji.\nUpload it at "
                  "Slack → Customize Workspace → Emoji.")
            .arg(emojiSizeText(), kilobytes(maxBytes), QString::number(maxFrames));
    return tr("Saves a %1 GIF of at most %2 KB and %3 frames — your limit.\nUpload it at Slack → Customize "
              "Workspace → Emoji.")
        .arg(emojiSizeText(), kilobytes(maxBytes), QString::number(maxFrames));
}

PreviewColumn::PreviewColumn(EmojiEditor* editor, QAction* save, const QStringList& saveTexts, QAction* copy,
                             QWidget* parent)
    : QWidget(parent), editor_(editor) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(tr("Slack Preview"), this);
    title->setFont(theme::titleFont());
    header->addWidget(title);
    header->addStretch(1);
    auto* appearance = new QWidget(this);
    appearance->setAccessibleName(tr("Preview appearance"));
    auto* segments = new QHBoxLayout(appearance);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    QPushButton* light = segment(tr("Light"), appearance);
    QPushButton* dark = segment(tr("Dark"), appearance);
    auto* group = new QButtonGroup(appearance);
    group->setExclusive(true);
    group->addButton(light);
    group->addButton(dark);
    // Two equal halves of a 140-pixel switch, wider only when a translation or a larger font needs
    // the room for its words.
    int widest = 0;
    for (QPushButton* half : {light, dark}) {
        segments->addWidget(half, 1);
        widest = std::max(widest, half->sizeHint().width());
    }
    appearance->setFixedWidth(std::max(kSwitchWidth, 2 * widest));
    header->addWidget(appearance);
    column->addLayout(header);

    mockup_ = new ChatMockup(editor_, this);
    column->addWidget(mockup_, 0, Qt::AlignLeft);
    column->addWidget(new Divider(this));
    auto* nameRow = new NameRow(editor_, this);
    column->addWidget(nameRow, 0, Qt::AlignLeft);
    auto* nameRule = new TintedLabel(tr("Emoji names use a–z, 0–9, - and _"), theme::Emphasis::Medium, this);
    nameRule->setFont(theme::smallFont());
    nameRule->setVisible(false);
    column->addWidget(nameRule);
    connect(nameRow, &NameRow::nameAdjusted, nameRule, &QWidget::setVisible);
    connect(editor_, &EmojiEditor::newPicture, nameRule, &QWidget::hide);

    auto* buttons = new QHBoxLayout;
    QPushButton* saveButton = buttonFor(save, this);
    for (const QString& text : saveTexts) {
        saveButton->setText(text);
        saveButton->setMinimumWidth(std::max(saveButton->minimumWidth(), saveButton->sizeHint().width()));
    }
    saveButton->setText(save->text());
    buttons->addWidget(saveButton);
    buttons->addWidget(buttonFor(copy, this));
    buttons->addStretch(1);
    column->addLayout(buttons);

    status_ = new StatusLine(this);
    column->addWidget(status_);

    auto* noteLabel = new TintedLabel(note(), theme::Emphasis::Low, this);
    // An animation is saved as a GIF within the size limit, which the note says.
    const auto showNote = [this, noteLabel] {
        const PicturePtr& picture = editor_->image();
        // An effect makes a GIF of a still, as an animation is one.
        const bool gif = (picture && picture->isAnimated()) || editor_->effect().animates();
        noteLabel->setText(gif ? animationNote(editor_->maxBytes(), editor_->maxFrames()) : note());
    };
    connect(editor_, &EmojiEditor::imageChanged, noteLabel, showNote);
    connect(editor_, &EmojiEditor::maxBytesChanged, noteLabel, showNote);
    connect(editor_, &EmojiEditor::effectChanged, noteLabel, showNote);
    noteLabel->setTextFormat(Qt::PlainText);
    noteLabel->setFont(theme::smallFont());
    noteLabel->setWordWrap(true);
    column->addWidget(noteLabel);

    // As wide as the chat, or wider when larger fonts need it for the buttons.
    setMinimumWidth(ChatMockup::kWidth);
    light->setChecked(!mockup_->isDark());
    dark->setChecked(mockup_->isDark());
    connect(light, &QPushButton::clicked, mockup_, [this] { mockup_->setDark(false); });
    connect(dark, &QPushButton::clicked, mockup_, [this] { mockup_->setDark(true); });
    connect(mockup_, &ChatMockup::darkChanged, this, [light, dark](bool isDark) { (isDark ? dark : light)->setChecked(true); });
    connect(editor_->status(), &EditorStatus::changed, this, &PreviewColumn::showStatus);
    showStatus();
}

void PreviewColumn::showStatus() {
    status_->showMessage(editor_->status()->message(), editor_->status()->kind() == EditorStatus::Kind::Failure);
}

} // namespace cropling
