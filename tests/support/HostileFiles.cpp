#include "HostileFiles.h"

#include "image/shared/VipsBytes.h"
#include "image/shared/VipsRuntime.h"

#include <QtEndian>

#include <zlib.h>

namespace cropling::test {

using vips::VImage;

namespace {

QByteArray bigEndian(quint32 value) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, reinterpret_cast<uchar*>(bytes.data()));
    return bytes;
}

QByteArray littleEndian(quint32 value, int length) {
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
    return bytes;
}

QByteArray pngChunk(const char* type, const QByteArray& body) {
    const QByteArray typed = QByteArray(type) + body;
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size())));
    return bigEndian(quint32(body.size())) + typed + bigEndian(crc);
}

QByteArray deflated(qsizetype zeros) {
    const QByteArray plain(zeros, '\0');
    uLongf size = compressBound(uLong(plain.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(plain.constData()),
              uLong(plain.size()), 9);
    out.truncate(qsizetype(size));
    return out;
}

QByteArray riffChunk(const char* type, const QByteArray& body) {
    QByteArray chunk = QByteArray(type) + littleEndian(quint32(body.size()), 4) + body;
    if (body.size() % 2)
        chunk.append('\0');
    return chunk;
}

QByteArray encoded(const VImage& image, const char* suffix, vips::VOption* options = nullptr) {
    return VipsBytes::encode(image, suffix, options).toByteArray();
}

// A smooth 8-bit RGB picture.
VImage gradient(int width, int height) {
    ensureVipsStarted();
    const VImage xy = VImage::xyz(width, height);
    return (xy[0] * (255.0 / width)).bandjoin(xy[1] * (255.0 / height)).bandjoin(xy[0] * 0 + 90).cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

} // namespace

QByteArray pngWithTextBombs(int chunks, qsizetype inflated) {
    const QByteArray png = encoded(gradient(64, 64), ".png");
    const QByteArray bomb = deflated(inflated);
    QByteArray text;
    for (int i = 0; i < chunks; ++i) {
        // zTXt: keyword, NUL, method; iTXt: keyword, NUL, compressed, method, language NUL, translation NUL.
        if (i % 2 == 0)
            text += pngChunk("zTXt", QByteArray("Comment\0\0", 9) + bomb);
        else
            text += pngChunk("iTXt", QByteArray("Comment\0\1\0\0\0", 12) + bomb);
    }
    // After the signature (8 bytes) and IHDR (25 bytes).
    return png.left(33) + text + png.mid(33);
}

QByteArray gifClaiming(int width, int height) {
    QByteArray gif("GIF89a");
    gif += littleEndian(quint32(width), 2) + littleEndian(quint32(height), 2);
    gif += QByteArray("\x80\x00\x00", 3);                  // a 2-colour table, no background
    gif += QByteArray("\x00\x00\x00\xff\xff\xff", 6);      // black and white
    gif += ',' + QByteArray(4, '\0') + littleEndian(quint32(width), 2) + littleEndian(quint32(height), 2) + '\0';
    gif += QByteArray("\x02\x01\x2c\x00", 4);              // LZW: clear, end of information
    gif += ';';
    return gif;
}

QByteArray tiffWithBands(int side, int bands) {
    ensureVipsStarted();
    const VImage many = VImage::black(side, side, VImage::option()->set("bands", bands)) + 90;
    return encoded(many.cast(VIPS_FORMAT_UCHAR), ".tif", VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE));
}

QByteArray animatedWebp(int frames) {
    const QByteArray single = encoded(gradient(1, 1), ".webp", VImage::option()->set("lossless", true));
    const QByteArray frame = single.mid(single.indexOf("VP8L")); // the image chunk, without VP8X
    QByteArray body("WEBP");
    body += riffChunk("VP8X", QByteArray("\x02\0\0\0", 4) + littleEndian(0, 3) + littleEndian(0, 3));
    body += riffChunk("ANIM", littleEndian(0, 4) + littleEndian(0, 2));
    const QByteArray anmf = riffChunk("ANMF", littleEndian(0, 3) + littleEndian(0, 3) + littleEndian(0, 3) +
                                                  littleEndian(0, 3) + littleEndian(100, 3) + '\0' + frame);
    body.reserve(body.size() + anmf.size() * frames);
    for (int i = 0; i < frames; ++i)
        body += anmf;
    return "RIFF" + littleEndian(quint32(body.size()), 4) + body;
}

QByteArray jpegWithScans(int scans) {
    const QByteArray jpeg = encoded(gradient(64, 64), ".jpg", VImage::option()->set("interlace", true));
    const qsizetype last = jpeg.lastIndexOf("\xFF\xDA");
    const qsizetype end = jpeg.lastIndexOf("\xFF\xD9");
    const QByteArray scan = jpeg.mid(last, end - last);
    QByteArray out = jpeg.left(end);
    for (int have = int(jpeg.count("\xFF\xDA")); have < scans; ++have)
        out += scan;
    return out + "\xFF\xD9";
}

QByteArray hugeJpeg(int side, int orientation) {
    VImage plain = (VImage::black(side, side, VImage::option()->set("bands", 3)) + 128).cast(VIPS_FORMAT_UCHAR)
                       .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    plain.set("orientation", orientation);
    return encoded(plain, ".jpg");
}

QByteArray hugePng16(int side, int orientation) {
    ensureVipsStarted();
    VImage plain = (VImage::black(side, side, VImage::option()->set("bands", 4)) + 30000).cast(VIPS_FORMAT_USHORT)
                       .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    plain.set("orientation", orientation);
    return encoded(plain, ".png", VImage::option()->set("compression", 6)->set("bitdepth", 16));
}

QByteArray hugeWebp(int side) {
    ensureVipsStarted();
    const VImage plain = VImage::black(side, side, VImage::option()->set("bands", 3))
                             .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return encoded(plain, ".webp", VImage::option()->set("lossless", true)->set("effort", 0));
}

QByteArray tiffWithPages(int pages, int side) {
    ensureVipsStarted();
    const VImage strip = (VImage::black(side, side * pages) + 77).cast(VIPS_FORMAT_UCHAR);
    return encoded(strip, ".tif", VImage::option()->set("page_height", side));
}

QByteArray progressiveJpeg(int side, int scans, bool junkAfterStart, bool fullChroma) {
    ensureVipsStarted();
    const VImage plain = gradient(side, side);
    vips::VOption* options = VImage::option()->set("interlace", true)->set("Q", 90);
    if (fullChroma)
        options->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_OFF);
    const QByteArray jpeg = encoded(plain, ".jpg", options);
    const qsizetype last = jpeg.lastIndexOf("\xFF\xDA");
    const qsizetype end = jpeg.lastIndexOf("\xFF\xD9");
    QByteArray out = jpeg.left(end);
    for (int have = int(jpeg.count("\xFF\xDA")); have < scans; ++have)
        out += jpeg.mid(last, end - last);
    out += "\xFF\xD9";
    if (junkAfterStart)
        out.insert(2, '\0');
    return out;
}

QByteArray plainPng(int width, int height, int bands, int depth, bool interlaced) {
    ensureVipsStarted();
    VImage plain = (VImage::black(width, height, VImage::option()->set("bands", bands)) + 99)
                       .cast(depth == 16 ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR)
                       .copy(VImage::option()->set("interpretation",
                                                   depth == 16 ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB));
    return encoded(plain, ".png",
                  VImage::option()->set("compression", 6)->set("bitdepth", depth)->set("interlace", interlaced));
}

QByteArray jpegWithAppSegments(int segments) {
    const QByteArray jpeg = encoded(gradient(64, 64), ".jpg");
    const QByteArray segment = QByteArray("\xFF\xE1\xFF\xFF", 4) + QByteArray(0xFFFF - 2, 'x');
    QByteArray out = jpeg.left(2);
    out.reserve(jpeg.size() + segment.size() * segments);
    for (int i = 0; i < segments; ++i)
        out += segment;
    return out + jpeg.mid(2);
}

QByteArray pngWithExif(qsizetype bytes) {
    const QByteArray png = encoded(gradient(64, 64), ".png");
    QByteArray exif = QByteArray("MM\0*\0\0\0\x08", 8);
    exif += QByteArray(bytes - exif.size(), '\0');
    return png.left(33) + pngChunk("eXIf", exif) + png.mid(33);
}

QByteArray svgWithEmbeddedPng(int side) {
    const QByteArray png = plainPng(side, side, 3, 8, false);
    return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' width='" +
           QByteArray::number(side) + "' height='" + QByteArray::number(side) + "'><image width='" +
           QByteArray::number(side) + "' height='" + QByteArray::number(side) +
           "' xlink:href='data:image/png;base64," + png.toBase64() + "'/></svg>";
}

QByteArray thinSvg(int width, int height) {
    return "<svg xmlns='http://www.w3.org/2000/svg' width='" + QByteArray::number(width) + "' height='" +
           QByteArray::number(height) + "'><rect width='100%' height='100%' fill='teal'/></svg>";
}

QByteArray svgConvolution(int order) {
    QByteArray kernel;
    for (int i = 0; i < order * order; ++i)
        kernel += "1 ";
    return "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='200'><filter id='f'><feConvolveMatrix order='" +
           QByteArray::number(order) + "' kernelMatrix='" + kernel +
           "'/></filter><rect width='200' height='200' fill='red' filter='url(#f)'/></svg>";
}

QByteArray svgRects(int count) {
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='1000' height='1000'>";
    svg.reserve(count * 48);
    for (int i = 0; i < count; ++i)
        svg += "<rect x='" + QByteArray::number(i % 1000) + "' y='" + QByteArray::number(i / 1000 % 1000) +
               "' width='9' height='9'/>";
    return svg + "</svg>";
}

QByteArray mp4WithRepeatedTrack(const QByteArray& mp4, int copies) {
    const auto sizeAt = [&](qsizetype at) {
        return qsizetype(quint8(mp4[at])) << 24 | qsizetype(quint8(mp4[at + 1])) << 16 | qsizetype(quint8(mp4[at + 2])) << 8 |
               qsizetype(quint8(mp4[at + 3]));
    };
    // The top-level boxes up to the movie box, which must come last so that no sample moves.
    qsizetype moov = 0;
    while (moov + 8 <= mp4.size() && mp4.mid(moov + 4, 4) != "moov" && sizeAt(moov) >= 8)
        moov += sizeAt(moov);
    if (moov + 8 > mp4.size() || mp4.mid(moov + 4, 4) != "moov" || moov + sizeAt(moov) != mp4.size())
        return {};
    QByteArray children;
    for (qsizetype at = moov + 8; at + 8 <= mp4.size() && sizeAt(at) >= 8; at += sizeAt(at)) {
        const QByteArray box = mp4.mid(at, sizeAt(at));
        children += box;
        if (box.mid(4, 4) == "trak")
            for (int copy = 1; copy < copies; ++copy)
                children += box;
    }
    return mp4.left(moov) + bigEndian(quint32(children.size() + 8)) + "moov" + children;
}

} // namespace cropling::test
