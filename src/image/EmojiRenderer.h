#pragma once

#include "core/CropGeometry.h"
#include "core/OpenFailure.h"
#include "core/Progress.h"
#include "image/VipsLayer.h"

#include <QByteArray>
#include <QPointF>

#include <optional>

namespace cropling {

class Picture;

// The framed square as an n x n 8-bit RGBA sRGB PNG, resampled from the decoded picture, or for a
// picture opened for one render, from just the part of the file it shows. Nothing without a
// picture, for a side outside 1..kMaxOutputSize, or when the square shows too little of the
// picture (see emojiSourcePixels); when asked, says why when the file turned out unreadable only
// now (and leaves it empty otherwise).
std::optional<QByteArray> renderEmojiPNG(const Picture* picture, const Framing& framing, int outputSize,
                                         std::optional<OpenFailure>* why = nullptr);

// An animated emoji: a GIF of every frame's square, within a byte budget.
struct EmojiGif {
    QByteArray bytes;
    int frames = 0;       // kept, after any were dropped to meet the limits
    int sourceFrames = 0; // the picture's
};
struct GifOutcome {
    std::optional<EmojiGif> gif;
    std::optional<OpenFailure> why;        // the file turned out unreadable only now
    bool overBudget = false;               // not even one frame fits in the budget
    bool cancelled = false;
};

// The framed square of every frame of an animation (of a still: one frame) as a looping GIF within
// the limits, n x n, timed and looped as the picture is. Nothing under the same conditions as
// renderEmojiPNG, when nothing fits the limits, or when `progress` was cancelled.
GifOutcome renderEmojiGIF(const Picture* picture, const Framing& framing, int outputSize, const GifLimits& limits,
                          Progress* progress = nullptr);

} // namespace cropling
