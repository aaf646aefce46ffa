// A reaction effect on the still: its settings as undoable steps, and the frames the views play,
// made on a worker from the framed square once the framing rests.

#include "EmojiEditor.h"
#include "model/RunInBackground.h"

#include "core/CropGeometry.h"
#include "image/VipsLayer.h"
#include "model/EffectExport.h"

#include <QUndoStack>

#include <cmath>

namespace cropling {

void EmojiEditor::setEffect(const EffectSettings& effect) {
    if (effect == effect_)
        return;
    undoStack_->push(new StateStep<EffectSettings>(effectStepText(effect_, effect), kEffectStepId,
                                                   [this](const EffectSettings& settings) { applyEffect(settings); }, effect_,
                                                   effect, gestureFor(2000), effect_.caption != effect.caption));
}

void EmojiEditor::applyEffect(const EffectSettings& effect) {
    if (effect == effect_)
        return;
    effect_ = effect;
    Q_EMIT effectChanged();
    makeEffectPreview();
}

const Picture* EmojiEditor::effectFrame() const {
    if (!effectPreview_ || !effect_.changesStill())
        return nullptr;
    return &effectPreview_->frame(effectIndex_ % std::max(1, effectPreview_->frameCount()));
}

void EmojiEditor::makeEffectPreview() {
    // Every request supersedes the ones before; only the newest is shown.
    const quint64 request = ++effectRequest_;
    if (!effect_.changesStill() || !image_) {
        effectTimer_.stop();
        const bool had = bool(std::exchange(effectPreview_, nullptr));
        if (had)
            Q_EMIT frameChanged();
        return;
    }
    // At the square's size on the screen, so that it is sharp there and in the chat sizes alike.
    const int side = int(std::ceil(kCropSide * previewPixelRatio_));
    const auto take = [this, request](std::optional<RgbaFrames> frames) {
        if (request != effectRequest_)
            return;
        const VipsLayer* layer = VipsLayer::get();
        effectPreview_ = frames && layer ? layer->animated(*frames, frames->size) : nullptr;
        effectIndex_ = 0;
        showNextEffectFrame();
    };
    // An animation or a clip's span carries the effect on every frame, as its export does.
    runInBackgroundIf(
        backgroundWork_, this,
        [picture = image_, framing = framing(), side, effect = effect_] { return effectFrames(picture.get(), framing, side, effect); },
        take);
}

void EmojiEditor::showNextEffectFrame() {
    Q_EMIT frameChanged();
    if (!effectPreview_ || effectPreview_->frameCount() < 2)
        return effectTimer_.stop();
    const std::vector<int>& delays = effectPreview_->frameDelays();
    effectTimer_.start(delays.empty() ? 100 : delays[size_t(effectIndex_ % int(delays.size()))]);
}

} // namespace cropling
