#pragma once

// Animated GIF within a byte budget. Used inside this layer only.

#include "image/VipsLayer.h"

#include <QByteArray>

#include <vips/vips8>

#include <memory>
#include <optional>
#include <vector>

namespace cropling {

// Rendered frames of one size, RGBA, with how long each shows and how often they play.
struct EmojiFrames {
    std::shared_ptr<void> memory; // what the frames' pixels lie in, when they share one buffer
    std::vector<vips::VImage> frames;
    std::vector<int> delaysMs;
    int loop = 0; // 0: for ever
};

// The best-looking GIF of the frames that takes at most maxBytes. Pixels under half opacity become
// GIF's transparent colour, the rest opaque. When the full-quality file is larger, losses are
// taken in order of what they cost the eye: changes below a growing error are left to the frame
// before (transparent pixels cost almost nothing), palettes are shared between frames, fewer
// colours, less dithering, and last, frames are dropped, each kept frame showing for the dropped
// ones after it, so the animation lasts as long as before. Nothing when not even one frame fits.
std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, long long maxBytes);

} // namespace cropling
