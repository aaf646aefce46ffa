#pragma once

// The frames of an animated GIF or WebP, read one after another as whole upright frames: the
// loaders compose each frame from its rectangle, its disposal and the frames before it, and every
// frame is reduced as soon as it is decoded, so the animation is never held at full size.
// Used inside this layer only.

#include "core/OpenFailure.h"
#include "image/decoding/Decoding.h"

#include <QSize>

#include <functional>
#include <optional>
#include <vector>

namespace cropling::decoding {

struct Timing {
    std::vector<int> delaysMs; // as the file gives them, one for each frame
    int loop = 0;              // how many times the animation plays; 0 for ever
};

// Whether the file holds more than one frame.
bool isAnimated(const Header& header);

// The timing of every frame, read from the header alone; nothing, and why, for an animation of
// more than kMaxFrames frames or longer than kMaxAnimationMs.
std::optional<Timing> readTiming(const Header& header, OpenFailure* why);

// The upright size every frame is reduced to: the shorter side at least minShorterSide (0: full
// size) or the frame's own, and all `frames` frames as RGBA within kMaxAnimationBytes.
QSize frameSize(const Header& header, int frames, int minShorterSide);

// Decodes the frames in order, each as upright 8-bit sRGB RGBA of the given upright size (one of
// frameSize()), and hands each to `take` at once; its pixels may last only until `take` returns. Throws like a computation does, also when
// kDecodeSeconds have passed.
void readFrames(const Header& header, int frames, QSize upright, const std::function<void(const vips::VImage& frame)>& take);

} // namespace cropling::decoding
