#pragma once

// An embedded colour profile applied with lcms2: the pixels are converted to sRGB before they are
// filtered, with the relative colorimetric intent libvips uses, so the direct and the libvips
// decodes agree on colour.

#include "core/Resample.h"

#include <QByteArray>

namespace cropling::direct {

enum class ProfileUse {
    Convert,  // an RGB profile: pixels are converted with it
    Ignore,   // a profile lcms2 cannot read: the pixels are taken as sRGB, as libvips then takes them
    Decline,  // a profile of another colour space: left to libvips
};

ProfileUse profileUse(const QByteArray& profile);

// Converts RGB or RGBA pixels from the profile to sRGB in place; alpha is kept. False when no
// transform could be made, and the pixels are left as they are.
bool convertToSrgb(const QByteArray& profile, PixelRows* pixels);

} // namespace cropling::direct
