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
#include <functional>

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

// A step that sets one part of the editor's state: the part before and after it, applied through
// `apply`. A step of the same gesture and id that follows merges into it (the id of a kind that
// never merges is -1), unless it says it stands alone.
template <typename State>
class StateStep : public EditStep {
public:
    using Apply = std::function<void(const State&)>;
    StateStep(const QString& text, int id, Apply apply, State before, State after, quint64 gesture, bool merges = true)
        : EditStep(text), id_(id), apply_(std::move(apply)), before_(std::move(before)), after_(std::move(after)),
          gesture_(gesture), merges_(merges) {}
    void undo() override {
        apply_(before_);
        undone();
    }
    void redo() override { apply_(after_); }
    int id() const override { return id_; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const StateStep*>(other);
        if (!next->merges_ || next->gesture_ != gesture_)
            return false;
        after_ = next->after_;
        return true;
    }

private:
    int id_;
    Apply apply_;
    State before_;
    State after_;
    quint64 gesture_;
    bool merges_;
};

// How the framing changed, which names its step; moves merge with moves of one gesture, zooms with
// zooms, and the rest are steps of their own.
enum class FramingChange { Move, Zoom, Reset, Fit, AutoFrame };
QString framingStepText(FramingChange change);
int framingStepId(FramingChange change);
// The ids of the other steps that merge.
inline constexpr int kNameStepId = 2, kSpanStepId = 3, kEffectStepId = 4;
QString nameStepText();
QString spanStepText();
// A caption typed is a step until typing pauses; each choice of an effect or a speed its own.
QString effectStepText(const EffectSettings& before, const EffectSettings& after);

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
