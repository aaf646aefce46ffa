#include "EditorStatus.h"

namespace cropling {

void EditorStatus::set(std::optional<QString> message, Kind kind) {
    showingProgress_ = false;
    framingNote_ = false;
    if (message == message_ && kind == kind_)
        return;
    message_ = std::move(message);
    kind_ = kind;
    Q_EMIT changed();
}

void EditorStatus::setFramingNote(const QString& note) {
    set(note);
    framingNote_ = true;
}

void EditorStatus::clearUnlessProgress() {
    if (message_ && !showingProgress_)
        set(std::nullopt);
}

void EditorStatus::framingChanged() {
    if (framingNote_ || kind_ == Kind::Failure)
        clearUnlessProgress();
}

void EditorStatus::nameChanged() {
    if (kind_ == Kind::Failure)
        clearUnlessProgress();
}

bool EditorStatus::clearForNewPicture() {
    const bool had = message_.has_value();
    message_.reset();
    kind_ = Kind::Note;
    return had;
}

void EditorStatus::beginProgress() {
    messageBefore_ = message_;
    kindBefore_ = kind_;
}

void EditorStatus::showProgress(const QString& text) {
    const bool untouched = message_ == messageBefore_ && kind_ == kindBefore_;
    if (!showingProgress_ && !untouched)
        return;
    set(text);
    showingProgress_ = true;
}

void EditorStatus::endProgress() {
    if (showingProgress_)
        set(messageBefore_, kindBefore_);
}

} // namespace cropling
