#pragma once

// The export of a still with a reaction effect or a caption: the framed square rendered once at
// the emoji's size, the effect's frames made from it, the caption drawn over each, and then a
// looping GIF within the caps (or, for a caption alone, a PNG).

#include "core/Effects.h"
#include "model/EmojiExport.h"

namespace cropling {

class Picture;

ExportOutcome exportWithEffect(const Picture* picture, const Framing& framing, const ExportRequest& request,
                               Progress* progress);

// The effect's frames of the square, n x n RGBA, with their timing: what the export encodes and
// what the window plays. A still's loop is the effect's own; an animation's (or a clip span's)
// frames each carry it, timed as they are, at most those an export keeping `maxFrames` renders
// (0: all). Nothing when the square shows too little of the picture.
std::optional<RgbaFrames> effectFrames(const Picture* picture, const Framing& framing, int n, const EffectSettings& effect,
                                       std::optional<OpenFailure>* why = nullptr, int maxFrames = 0);

} // namespace cropling
