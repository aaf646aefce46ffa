#pragma once

// Animated GIF within a chat service's caps. Used inside this layer only.

#include "core/Progress.h"
#include "image/VipsLayer.h"

#include <QByteArray>
#include <QtGlobal>

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

// The frames spread evenly over `count` of them (all when there are no more): each kept frame is
// the middle one of the run it stands for and shows as long as the whole run, so the animation
// lasts as long as before. `firsts`, when asked, gets the index where each run starts.
EmojiFrames keepEvenly(const EmojiFrames& all, int count, std::vector<int>* firsts = nullptr);

// The best-looking GIF of the frames within the limits: at most maxBytes, and at most maxFrames
// frames (0: any number). Pixels under half opacity become GIF's transparent colour, the rest
// opaque. Fewer frames, fewer colours, dithering and changes left to the frame before are weighed
// against each other by how the result looks at its size against every frame it stands for.
// Nothing when not even one frame fits, or when `progress` was cancelled.
// `renderedPixels`: the pixels the export rendered before the search, which count towards its work.
std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, const GifLimits& limits, Progress* progress = nullptr,
                                          long long renderedPixels = 0);

} // namespace cropling
