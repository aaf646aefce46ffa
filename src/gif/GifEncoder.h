#pragma once

// Animated GIF within a chat service's caps.

#include "core/Progress.h"
#include "gif/EmojiFrames.h"
#include "core/GifLimits.h"

#include <QByteArray>
#include <QtGlobal>

#include <vips/vips8>

#include <memory>
#include <optional>
#include <vector>

namespace cropling {

// The best-looking GIF of the frames within the limits: at most maxBytes, and at most maxFrames
// frames (0: any number). Pixels under half opacity become GIF's transparent colour, the rest
// opaque. Fewer frames, fewer colours, dithering and changes left to the frame before are weighed
// against each other by how the result looks at its size against every frame it stands for.
// Nothing when not even one frame fits, or when `progress` was cancelled.
// `renderedPixels`: the pixels the export rendered before the search, which count towards its work.
std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, const GifLimits& limits, Progress* progress = nullptr,
                                          long long renderedPixels = 0);

} // namespace cropling
