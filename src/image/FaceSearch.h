#pragma once

// Framing the face: the largest person's or cat's face in the picture (of two alike, the one
// nearer the centre), widened to the whole head, fills the square, centred. Without a face, the
// most interesting part of the picture, which the caller finds, is framed instead. Works on plain
// pixels and needs no libvips, so a render that frames a face never loads it unless no face is
// found. Safe from any thread.

#include "core/CropGeometry.h"
#include "core/Resample.h"

#include <QPointF>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace cropling {

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

// What faces are looked for in: the picture reduced to at most kSide pixels on its longer side, in
// colour (3 or 4 bands, as the picture) and in grey (one band, as the detectors were trained on).
struct SearchCopy {
    // A face worth framing (a tenth of the shorter side or more) keeps 30 pixels or more at this
    // size, and the search costs the same whatever the photo's size.
    static constexpr int kSide = 480;
    PixelRows colour;
    PixelRows grey;
};
// A copy of plain 8-bit RGB or RGBA pixels, reduced by the emoji's filter.
SearchCopy searchCopyOf(const PixelView& pixels);
// The grey of a colour copy already reduced.
SearchCopy searchCopyOf(PixelRows reduced);

// The framing of the busiest part of the copy for a picture of `full` pixels; nothing when it could
// not be found. Must not throw.
using AttentionSearch = std::function<std::optional<AutoFraming>()>;

// Frontal faces first, then profiles and then cats; `attention` when there are none. Without a
// frontal face, the attention framing is found on a second core while the other kinds are looked
// for on the calling thread.
AutoFramingOutcome framingOfFaces(const SearchCopy& copy, QSize full, const AttentionSearch& attention);

// Why a picture without pixels to search is not framed.
QString nothingToFrame();

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
