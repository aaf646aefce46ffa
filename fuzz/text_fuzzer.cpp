// File names and environment values are arbitrary bytes: name derivation must keep its rules and
// number parsing must never read past the value.

#include "core/NumberSyntax.h"
#include "core/EmojiName.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString name = cropling::deriveEmojiName(bytes);
    if (name.isEmpty() || name.startsWith(u'-') || name.endsWith(u'-'))
        __builtin_trap();
    for (const QChar c : name)
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_'))
            __builtin_trap();
    (void)cropling::parseNumber(bytes);
    return 0;
}
