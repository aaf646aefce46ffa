#include "ColourProfile.h"

#include <lcms2.h>

#include <memory>

namespace cropling::direct {

namespace {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile opened(const QByteArray& bytes) {
    return Profile(bytes.isEmpty() ? nullptr : cmsOpenProfileFromMem(bytes.constData(), cmsUInt32Number(bytes.size())));
}

} // namespace

ProfileUse profileUse(const QByteArray& profile) {
    const Profile opened_ = opened(profile);
    if (!opened_)
        return ProfileUse::Ignore;
    return cmsGetColorSpace(opened_.get()) == cmsSigRgbData ? ProfileUse::Convert : ProfileUse::Decline;
}

bool convertToSrgb(const QByteArray& profile, PixelRows* pixels) {
    const Profile from = opened(profile);
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!from || !srgb || cmsGetColorSpace(from.get()) != cmsSigRgbData)
        return false;
    const bool alpha = pixels->bands == 4;
    const cmsUInt32Number type = alpha ? TYPE_RGBA_8 : TYPE_RGB_8;
    cmsHTRANSFORM transform = cmsCreateTransform(from.get(), type, srgb.get(), type, INTENT_RELATIVE_COLORIMETRIC,
                                                 alpha ? cmsFLAGS_COPY_ALPHA : 0);
    if (!transform)
        return false;
    std::vector<std::uint8_t> converted(size_t(pixels->width) * size_t(pixels->bands));
    for (int y = 0; y < pixels->height; ++y) {
        cmsDoTransform(transform, pixels->row(y), converted.data(), cmsUInt32Number(pixels->width));
        std::copy(converted.begin(), converted.end(), pixels->row(y));
    }
    cmsDeleteTransform(transform);
    return true;
}

} // namespace cropling::direct
