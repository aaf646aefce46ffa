#pragma once

// Framing the face of a picture (FaceSearch.h), with the busiest part found by libvips' attention
// crop when there is no face. The face finder is a module of its own, loaded on first use, so a
// program that never frames a face never loads it.

#include "core/CropGeometry.h"
#include "image/FaceModule.h"
#include "image/FaceSearch.h"

#include <QSize>

#include <optional>

namespace cropling {

class Picture;

// Safe from any thread; takes tens of milliseconds, so callers on the GUI thread use a worker.
// Loads the libvips part of this layer, whose own work autoFrameHere() is.
// `current` is the framing the user has: without a face, it is kept unless the busiest part of the
// picture is clearly more to look at.
AutoFramingOutcome autoFrame(const Picture& picture, const Framing& current = {});
AutoFramingOutcome autoFrameHere(const Picture& picture, const Framing& current = {});

// The same on plain pixels of a picture of `full` pixels, with the opening framing as the user's:
// libvips is loaded only when no face is found.
AutoFramingOutcome autoFrame(const PixelView& pixels, QSize full);

// The busiest part of a search copy at the opening zoom, unless it shows little more than
// `current`; nothing when it could not be found. In the libvips module.
std::optional<AutoFraming> busiestFramingHere(const SearchCopy& copy, QSize full, const Framing& current);

} // namespace cropling
