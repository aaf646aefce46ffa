#pragma once

// What the status line under the emoji says: one message at a time, a note (a picture saved, copied, being pasted)
// or a failure (it says why). A note of what a framing command did ("Framed 1 face") lasts until
// the framing changes again; a failure until the next change of the framing or the name. While
// an export runs the line shows its progress, and gives back what it said when the export ends,
// unless a message came meanwhile.

#include <QObject>
#include <QString>

#include <optional>

namespace cropling {

class EditorStatus : public QObject {
    Q_OBJECT
public:
    enum class Kind { Note, Failure };
    using QObject::QObject;

    const std::optional<QString>& message() const { return message_; }
    Kind kind() const { return kind_; }
    // Any message takes the line from the export's progress and from a framing note.
    void set(std::optional<QString> message, Kind kind = Kind::Note);
    // What a framing command did: it goes with the next change of the framing.
    void setFramingNote(const QString& note);
    // The framing changed: a framing note or a failure no longer holds.
    void framingChanged();
    // The name changed: a failure no longer holds.
    void nameChanged();
    // A new picture: nothing said of the last one holds. Silent, so that whoever brings the
    // picture in announces it once everything else is in place; true when there was a message.
    bool clearForNewPicture();
    void announce() { Q_EMIT changed(); }

    // An export's progress: begin remembers the line; show writes the progress only while the line
    // is the export's; end gives the line back, unless a message came meanwhile.
    void beginProgress();
    void showProgress(const QString& text);
    void endProgress();

Q_SIGNALS:
    void changed();

private:
    void clearUnlessProgress();

    std::optional<QString> message_;
    Kind kind_ = Kind::Note;
    bool framingNote_ = false;
    bool showingProgress_ = false;
    std::optional<QString> messageBefore_;
    Kind kindBefore_ = Kind::Note;
};

} // namespace cropling
