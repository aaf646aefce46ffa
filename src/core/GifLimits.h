#pragma once

// What an animated emoji may be, and what an encode within it made.

#include "core/ChatTarget.h"

#include <QByteArray>

namespace cropling {

struct EncodedGif {
    QByteArray bytes;
    int frames = 0; // kept after any were dropped
};

// At most maxBytes, and at most maxFrames frames (0: any number).
struct GifLimits {
    long long maxBytes = 0;
    int maxFrames = 0;
    bool operator==(const GifLimits&) const = default;
};

inline GifLimits gifLimitsOf(const ChatTarget& target) { return {target.maxBytes, target.maxFrames}; }

} // namespace cropling
