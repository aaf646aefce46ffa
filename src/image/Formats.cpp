#include "Formats.h"

#include <QtEndian>

#include <algorithm>

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

bool isClip(const QByteArray& head) {
    if (head.size() < 12)
        return false;
    const QByteArray box = head.mid(4, 4);
    if (box == "ftyp") {
        // Pictures in the same container: HEIF, HEIC and AVIF, stills and sequences, whose writers
        // name them by the major brand or among the compatible ones that follow it.
        static const QList<QByteArray> pictures = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs",
                                                   "mif1", "msf1", "miaf", "avif", "avis"};
        const qsizetype length = std::min<qsizetype>(head.size(), qFromBigEndian<quint32>(head.constData()));
        for (qsizetype at = 8; at + 4 <= length; at += at == 8 ? 8 : 4) {
            if (pictures.contains(head.mid(at, 4)))
                return false;
        }
        return true;
    }
    const bool quickTime = box == "moov" || box == "mdat" || box == "wide" || box == "free" || box == "skip";
    const bool matroska = head.startsWith("\x1A\x45\xDF\xA3");
    const bool mpegAudio = head.startsWith("ID3") || (quint8(head[0]) == 0xFF && (quint8(head[1]) & 0xE0) == 0xE0);
    const bool wave = head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
    return quickTime || matroska || mpegAudio || wave || head.startsWith("OggS") || head.startsWith("fLaC");
}

QStringList openableClipTypes() {
    return {QStringLiteral("video/mp4"), QStringLiteral("video/quicktime"), QStringLiteral("video/webm"),
            QStringLiteral("video/x-matroska"), QStringLiteral("video/x-m4v")};
}

bool looksFirstDirectly(const QByteArray& head) { return head.startsWith("\xFF\xD8"); }

bool rendersDirectly(const QByteArray& head) {
    return looksFirstDirectly(head) || head.startsWith("\x89PNG\r\n\x1a\n") ||
           (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
}

} // namespace cropling
