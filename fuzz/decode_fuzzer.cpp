// Any bytes handed to the picture decoder, as a dropped or pasted file would be, then rendered at a
// zoom and offset taken from the first bytes: both the window's decode and the scripted run's
// header-only open must answer with a picture or nothing, within the limits, and never crash.

#include "core/CropGeometry.h"
#include "image/EmojiRenderer.h"
#include "image/Picture.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    // Zoom 0.5 to 5.6 and offsets of up to about 200 pixels either way.
    const double zoom = 0.5 + data[0] / 50.0;
    const QPointF offset(int8_t(data[1]) * 1.6, int8_t(data[2]) * 1.6);
    const bool deferred = data[3] & 1;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4));
    const auto picture = deferred ? cropling::Picture::openForRender(bytes) : cropling::Picture::decode(bytes, 384);
    if (!picture)
        return 0;
    if (picture->fullSize().width() < 1 || picture->fullSize().height() < 1)
        __builtin_trap();
    if (const auto png = cropling::renderEmojiPNG(picture.get(), {zoom, offset}, cropling::kEmojiSide)) {
        if (png->size() < 8 || std::memcmp(png->constData(), "\x89PNG", 4) != 0)
            __builtin_trap();
    }
    return 0;
}
