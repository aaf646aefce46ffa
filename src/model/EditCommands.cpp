#include "EditCommands.h"

#include "model/EmojiEditor.h"

#include <QCoreApplication>

namespace cropling {

namespace {

// The translation context of the step names, shown as "Undo Zoom" and "Redo Move".
struct EditText {
    Q_DECLARE_TR_FUNCTIONS(EditCommands)
};

} // namespace

QString framingStepText(FramingChange change) {
    switch (change) {
    case FramingChange::Move: return EditText::tr("Move");
    case FramingChange::Zoom: return EditText::tr("Zoom");
    case FramingChange::Reset: return EditText::tr("Reset Crop");
    case FramingChange::Fit: return EditText::tr("Fit");
    case FramingChange::AutoFrame: return EditText::tr("Auto-Frame");
    }
    return {};
}

int framingStepId(FramingChange change) {
    switch (change) {
    case FramingChange::Move: return 10;
    case FramingChange::Zoom: return 11;
    case FramingChange::Reset:
    case FramingChange::Fit:
    case FramingChange::AutoFrame: break;
    }
    return -1;
}

QString nameStepText() { return EditText::tr("Rename"); }

QString spanStepText() { return EditText::tr("Change Span"); }

QString effectStepText(const EffectSettings& before, const EffectSettings& after) {
    return before.caption != after.caption ? EditText::tr("Caption") : EditText::tr("Effect");
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
