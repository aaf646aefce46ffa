#include "SourceDecoder.h"

#include "image/decoding/ContainerWalks.h"

#include <cstring>

namespace cropling::direct {

std::unique_ptr<SourceDecoder> openSource(const QByteArray& encoded, Refusal* why) {
    why->failure.reset();
    const auto starts = [&](const char* magic, qsizetype length) {
        return encoded.size() >= length && std::memcmp(encoded.constData(), magic, size_t(length)) == 0;
    };
    // The same walks bound these files as bound them on their way to libvips.
    if (starts("\xFF\xD8", 2)) {
        if (preflight::walks::hasTooManyScans(encoded)) {
            why->failure = OpenFailure::TooLarge;
            return nullptr;
        }
        return openJpeg(encoded, why);
    }
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return openPng(preflight::walks::withoutPngText(encoded), why);
    if (starts("RIFF", 4) && encoded.size() >= 12 && encoded.mid(8, 4) == "WEBP")
        return openWebp(encoded, why);
    return nullptr;
}

} // namespace cropling::direct
