#pragma once

// Removing a picture's plain background (core/BackgroundRemoval.h) from decoded pixels: the subject
// is found on a reduction of some 700 x 700 pixels, its soft mask is enlarged to the picture's
// own resolution, and the edge's colours lose the background's share. Used inside this layer only.

#include <memory>

namespace cropling {

class Picture;

// The picture with its background transparent (every frame of an animation alike, by the first
// frame's mask); nothing when it has no plain background or holds no pixels here.
std::shared_ptr<const Picture> withoutBackground(const Picture& picture);

} // namespace cropling
