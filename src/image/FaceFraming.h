#pragma once

// Framing the face: the largest person's or cat's face in the picture (of two alike, the one
// nearer the centre), widened to the whole head, fills the square, centred. Without a face, the
// most interesting part of the picture is centred at zoom 1, when it shows clearly more than the
// framing the user had. The face finder is a module of its own, loaded on first use, so a program
// that never frames a face never loads it.

#include "core/CropGeometry.h"
#include "image/FaceModule.h"

#include <QPointF>
#include <QString>

#include <optional>

namespace cropling {

class Picture;

struct AutoFraming {
    double zoom = 1.0;
    QPointF offset; // before the editor's clamp
    int faces = 0;  // found; 0 when the busiest part was framed instead, or the framing kept
    bool kept = false; // no face, and the busiest part was no clear gain on the framing the user had
};

struct AutoFramingOutcome {
    std::optional<AutoFraming> framing;
    QString why; // there is none: no picture pixels, or no face finder to be had
};

// Safe from any thread; takes tens of milliseconds, so callers on the GUI thread use a worker.
// Loads the libvips part of this layer, whose own work autoFrameHere() is.
// `current` is the framing the user has: without a face, it is kept unless the busiest part of the
// picture is clearly more to look at.
AutoFramingOutcome autoFrame(const Picture& picture, const Framing& current = {});
AutoFramingOutcome autoFrameHere(const Picture& picture, const Framing& current = {});

// Loads now what a search loads on first use (libvips, the face module, the frontal detector), the
// two modules on two threads, for a caller to run while it waits for the picture: some 100 ms
// otherwise spent after it. Safe from any thread and at the same time as a search.
void prepareAutoFrame();
// The libvips part of it, in the libvips module.
void prepareAutoFrameHere();

// The head around a face, as people frame a portrait: 1.6 times the face, more room above it than
// below. In picture pixels, origin top-left.
struct HeadBox {
    double centreX = 0;
    double centreY = 0;
    double side = 0;
};
HeadBox headAround(double x, double y, double width, double height);

// The zoom and offset that make `head` fill the crop square of a picture of this size, centred on
// it, the zoom within the user's range.
AutoFraming framingFor(const HeadBox& head, double pictureWidth, double pictureHeight);


} // namespace cropling
