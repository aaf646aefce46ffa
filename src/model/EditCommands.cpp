#include "EditCommands.h"

#include "model/EmojiEditor.h"

#include <QCoreApplication>

namespace cropling {

namespace {

// The translation context of the step names, shown as "Undo Zoom" and "Redo Move".
struct EditText {
    Q_DECLARE_TR_FUNCTIONS(EditCommands)
};

QString framingText(FramingCommand::Kind kind) {
    switch (kind) {
    case FramingCommand::Kind::Move: return EditText::tr("Move");
    case FramingCommand::Kind::Zoom: return EditText::tr("Zoom");
    case FramingCommand::Kind::Reset: return EditText::tr("Reset Crop");
    case FramingCommand::Kind::Fit: return EditText::tr("Fit");
    case FramingCommand::Kind::AutoFrame: return EditText::tr("Auto-Frame");
    }
    return {};
}

} // namespace

FramingCommand::FramingCommand(EmojiEditor* editor, Framing before, Framing after, Kind kind, quint64 gesture)
    : EditStep(framingText(kind)), editor_(editor), before_(before), after_(after), kind_(kind), gesture_(gesture) {}

void FramingCommand::undo() {
    editor_->applyFraming(before_);
    undone();
}

void FramingCommand::redo() { editor_->applyFraming(after_); }

bool FramingCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const FramingCommand*>(other);
    if (next->kind_ != kind_ || next->gesture_ != gesture_ || kind_ == Kind::Reset || kind_ == Kind::Fit ||
        kind_ == Kind::AutoFrame)
        return false;
    after_ = next->after_;
    return true;
}

NameCommand::NameCommand(EmojiEditor* editor, QString before, QString after, quint64 gesture)
    : EditStep(EditText::tr("Rename")), editor_(editor), before_(std::move(before)), after_(std::move(after)),
      gesture_(gesture) {}

void NameCommand::undo() {
    editor_->applyName(before_);
    undone();
}

void NameCommand::redo() { editor_->applyName(after_); }

bool NameCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const NameCommand*>(other);
    if (next->gesture_ != gesture_)
        return false;
    after_ = next->after_;
    return true;
}

EffectCommand::EffectCommand(EmojiEditor* editor, EffectSettings before, EffectSettings after, quint64 gesture)
    : EditStep(before.caption != after.caption ? EditText::tr("Caption") : EditText::tr("Effect")), editor_(editor),
      before_(std::move(before)), after_(std::move(after)), gesture_(gesture) {}

void EffectCommand::undo() {
    editor_->applyEffect(before_);
    undone();
}

void EffectCommand::redo() { editor_->applyEffect(after_); }

bool EffectCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const EffectCommand*>(other);
    // Only typing merges: each choice of an effect or a speed is a step of its own.
    if (next->gesture_ != gesture_ || next->before_.caption == next->after_.caption)
        return false;
    after_ = next->after_;
    return true;
}

SpanCommand::SpanCommand(EmojiEditor* editor, ClipSpan before, ClipSpan after, quint64 gesture)
    : EditStep(EditText::tr("Change Span")), editor_(editor), before_(before), after_(after), gesture_(gesture) {}

void SpanCommand::undo() {
    editor_->applySpan(before_);
    undone();
}

void SpanCommand::redo() { editor_->applySpan(after_); }

bool SpanCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const SpanCommand*>(other);
    if (next->gesture_ != gesture_)
        return false;
    after_ = next->after_;
    return true;
}

PictureCommand::PictureCommand(EmojiEditor* editor, PictureState before, PictureState after, Kind kind,
                               const QString& text)
    : EditStep(text.isEmpty() ? EditText::tr("New Picture") : text), editor_(editor), before_(std::move(before)),
      after_(std::move(after)), kind_(kind) {}

void PictureCommand::undo() {
    editor_->applyPicture(before_, kind_ == Kind::Turn);
    undone();
}

void PictureCommand::redo() { editor_->applyPicture(after_, kind_ == Kind::Turn); }

} // namespace cropling
