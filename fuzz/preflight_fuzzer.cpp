// The preflight walks every picture before a decoder sees it, in the helper: whatever the bytes,
// it reads nothing past their end, and what it hands on is never larger than what it was given
// (a cut, never a copy with more in it).

#include "image/decoding/Preflight.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto kept = cropling::preflight::sanitise(bytes);
    if (kept && kept->size() > bytes.size() && !cropling::preflight::needsQtReader(bytes))
        __builtin_trap();
    return 0;
}
