#pragma once

// Removing a picture's plain background (core/BackgroundRemoval.h) from decoded pixels: the subject
// is found on a reduction of some 700 x 700 pixels, its soft mask is enlarged to the picture's
// own resolution, and the edge's colours lose the background's share. Used inside this layer only.

#include "core/CutoutMarks.h"

#include <QString>

#include <memory>
#include <vector>

namespace cropling {

class Picture;

// The picture with its background transparent (every frame of an animation alike, by the first
// frame's mask); nothing when it has no plain background or holds no pixels here.
std::shared_ptr<const Picture> withoutBackground(const Picture& picture);

// The picture's subject cut out anew, what `marks` say kept or removed for certain, the rest
// decided around them by the colours of both (GrabCut), with faces found kept; starting from the
// cut shown now (`shown`, the same picture with its background removed), so that a mark changes
// the cut around it. `picture` is the one before any removal. Nothing, with `why`, when the
// segmentation is not to be had.
std::shared_ptr<const Picture> refinedCutout(const Picture& picture, const Picture& shown, const std::vector<CutoutMark>& marks,
                                             QString* why);

} // namespace cropling
