#pragma once

// The framed square of a picture decoded by its own library, as the libvips render makes it: the
// part the square shows found upright and mapped into the stored orientation, decoded at the
// largest reduction that leaves the filter three source pixels per emoji pixel, converted to
// sRGB, resampled, turned upright and placed on the n x n canvas, then written as an RGBA PNG.

#include "core/OpenFailure.h"
#include "helpers/direct/SourceDecoder.h"

#include <QByteArray>
#include <QPointF>

#include <optional>

namespace cropling::direct {

// The PNG; nothing without a failure when the square shows too little of the picture.
// `orientation` is how the picture shows: the file's own, perhaps turned since.
std::optional<QByteArray> renderSquarePng(SourceDecoder& decoder, bool convertProfile, int orientation, double zoom,
                                          QPointF offset, int n, std::optional<OpenFailure>* failure);

} // namespace cropling::direct
