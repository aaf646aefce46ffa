#include "Formats.h"

namespace cropling {

QStringList openableMimeTypes() {
    // JPEG 2000 is left out: its loader is not one this program trusts with files from anywhere.
    return {QStringLiteral("image/png"),
            QStringLiteral("image/jpeg"),
            QStringLiteral("image/webp"),
            QStringLiteral("image/gif"),
            QStringLiteral("image/tiff"),
            QStringLiteral("image/heif"),
            QStringLiteral("image/heic"),
            QStringLiteral("image/avif"),
            QStringLiteral("image/jxl"),
            QStringLiteral("image/svg+xml"),
            QStringLiteral("image/bmp"),
            QStringLiteral("image/vnd.microsoft.icon"),
            QStringLiteral("image/x-portable-anymap"),
            QStringLiteral("image/x-portable-bitmap"),
            QStringLiteral("image/x-portable-graymap"),
            QStringLiteral("image/x-portable-pixmap")};
}

} // namespace cropling
