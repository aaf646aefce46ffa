#pragma once

// The editor's undoable steps. Each holds the state before and after it, and applies one or the
// other through the editor; the editor pushes them as changes happen, so the first redo applies
// what is already there. Steps of one gesture (a drag, a run of wheel notches, slider moves,
// typing) merge into one.

#include "core/ClipSpan.h"
#include "core/CutoutMarks.h"
#include "core/CropGeometry.h"
#include "core/Effects.h"
#include "image/Picture.h"
#include "model/ClipSource.h"

#include <QPointF>
#include <QString>
#include <QUndoCommand>
#include <QUrl>

#include <array>

namespace cropling {

class EmojiEditor;

// A picture whose background was removed: the picture before, and the marks of what to keep and
// remove painted since, each a step.
struct CutoutSource {
    PicturePtr original;
    std::vector<CutoutMark> marks;
};

// Everything a new picture replaces.
struct PictureState {
    PicturePtr image;
    Framing framing;
    QString name;
    QString fileName;
    QUrl url;
    ClipState clip; // for a video clip: its source, span and turn
    std::shared_ptr<const CutoutSource> cutout; // when its background was removed
};

// What every step of the editor shares: it can be told to leave the history once it is undone.
class EditStep : public QUndoCommand {
public:
    using QUndoCommand::QUndoCommand;
    void forgetWhenUndone() { forget_ = true; }

protected:
    // Called at the end of every undo(): the stack deletes a step that is obsolete by then.
    void undone() {
        if (forget_)
            setObsolete(true);
    }

private:
    bool forget_ = false;
};

class FramingCommand : public EditStep {
public:
    enum class Kind { Move, Zoom, Reset, Fit, AutoFrame };
    FramingCommand(EmojiEditor* editor, Framing before, Framing after, Kind kind, quint64 gesture);
    void undo() override;
    void redo() override;
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    EmojiEditor* editor_;
    Framing before_;
    Framing after_;
    Kind kind_;
    quint64 gesture_;
};

class NameCommand : public EditStep {
public:
    NameCommand(EmojiEditor* editor, QString before, QString after, quint64 gesture);
    void undo() override;
    void redo() override;
    int id() const override { return 2; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    EmojiEditor* editor_;
    QString before_;
    QString after_;
    quint64 gesture_;
};

// A reaction effect, its speed or its caption changed; typing a caption is one step until it pauses.
class EffectCommand : public EditStep {
public:
    EffectCommand(EmojiEditor* editor, EffectSettings before, EffectSettings after, quint64 gesture);
    void undo() override;
    void redo() override;
    int id() const override { return 4; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    EmojiEditor* editor_;
    EffectSettings before_;
    EffectSettings after_;
    quint64 gesture_;
};

// A move of a clip's span's ends or a change of its speed.
class SpanCommand : public EditStep {
public:
    SpanCommand(EmojiEditor* editor, ClipSpan before, ClipSpan after, quint64 gesture);
    void undo() override;
    void redo() override;
    int id() const override { return 3; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    EmojiEditor* editor_;
    ClipSpan before_;
    ClipSpan after_;
    quint64 gesture_;
};

class PictureCommand : public EditStep {
public:
    // A new picture, or the same one turned (rotated or flipped), named by `text`.
    enum class Kind { NewPicture, Turn };
    PictureCommand(EmojiEditor* editor, PictureState before, PictureState after, Kind kind = Kind::NewPicture,
                   const QString& text = QString());
    void undo() override;
    void redo() override;
    // The picture it brings in, which a finer decode of the same picture may replace.
    const PicturePtr& picture() const { return after_.image; }
    // Every picture the step holds on to.
    std::array<PicturePtr, 2> pictures() const { return {before_.image, after_.image}; }
    void refine(PicturePtr finer) { after_.image = std::move(finer); }

private:
    EmojiEditor* editor_;
    PictureState before_;
    PictureState after_;
    Kind kind_;
};

} // namespace cropling
