#include "Preflight.h"

#include "image/decoding/ContainerWalks.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <cstring>

namespace cropling::preflight {

namespace {

bool startsWith(const QByteArray& bytes, const char* magic, qsizetype length) {
    return bytes.size() >= length && std::memcmp(bytes.constData(), magic, size_t(length)) == 0;
}

// BMP, ICO and the portable anymap formats, which libvips reads only through loaders it does not
// trust, are decoded by Qt's reader within its allocation limit and handed on as a PNG.
bool isQtOnlyFormat(const QByteArray& bytes) {
    if (startsWith(bytes, "BM", 2) || startsWith(bytes, "\0\0\1\0", 4))
        return true;
    return bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' &&
           (bytes[2] == ' ' || bytes[2] == '\n' || bytes[2] == '\r' || bytes[2] == '\t' || bytes[2] == '#');
}

std::optional<QByteArray> throughQt(const QByteArray& bytes) {
    QBuffer source;
    source.setData(bytes);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer target(&png);
    target.open(QIODevice::WriteOnly);
    if (!image.save(&target, "PNG", 100))
        return std::nullopt;
    return png;
}

} // namespace

bool needsQtReader(const QByteArray& encoded) { return isQtOnlyFormat(encoded); }

std::optional<QByteArray> sanitise(const QByteArray& encoded) {
    if (isQtOnlyFormat(encoded))
        return throughQt(encoded);
    if (startsWith(encoded, "\x89PNG\r\n\x1a\n", 8))
        return walks::hasWholeChunks(encoded) ? std::optional(walks::withoutPngText(encoded)) : std::nullopt;
    // The decoder takes any file that starts with the start-of-image marker, whatever follows it.
    if (startsWith(encoded, "\xFF\xD8", 2))
        return walks::hasTooManyScans(encoded) ? std::nullopt : std::optional(encoded);
    if (startsWith(encoded, "GIF87a", 6) || startsWith(encoded, "GIF89a", 6))
        return walks::hasWholeGifBlocks(encoded) ? std::optional(encoded) : std::nullopt;
    if (startsWith(encoded, "RIFF", 4) && encoded.size() >= 12 && encoded.mid(8, 4) == "WEBP")
        return walks::boundedWebpFrames(encoded);
    if (startsWith(encoded, "II*\0", 4) || startsWith(encoded, "MM\0*", 4) || startsWith(encoded, "II+\0", 4) ||
        startsWith(encoded, "MM\0+", 4))
        return walks::firstTiffPage(encoded);
    return encoded;
}

} // namespace cropling::preflight
