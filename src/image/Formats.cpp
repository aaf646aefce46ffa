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

bool needsLoadableModule(const QByteArray& head) {
    const bool isoMedia = head.size() >= 8 && head.mid(4, 4) == "ftyp";
    const bool jxlCodestream = head.startsWith("\xFF\x0A");
    const bool jxlContainer = head.startsWith(QByteArray("\0\0\0\x0CJXL \r\n\x87\n", 12));
    return isoMedia || jxlCodestream || jxlContainer;
}

bool rendersDirectly(const QByteArray& head) {
    return head.startsWith("\xFF\xD8") || head.startsWith("\x89PNG\r\n\x1a\n") ||
           (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
}

} // namespace cropling
