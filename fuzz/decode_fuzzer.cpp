// Any bytes handed to the picture decoder, as a dropped or pasted file would be: it must answer
// with a picture or nothing, within the pixel limit, and a picture must render.

#include "image/EmojiRenderer.h"
#include "image/Picture.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto picture = cropling::Picture::decode(bytes)) {
        if (picture->pixelWidth() < 1 || picture->pixelHeight() < 1)
            __builtin_trap();
        cropling::renderEmojiPNG(picture.get(), 1.5, {3, -2}, 128);
    }
    return 0;
}
