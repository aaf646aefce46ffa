#include "ContainerWalks.h"

#include "core/Animation.h"
#include "image/decoding/Preflight.h"

#include <QtEndian>

#include <zlib.h>

#include <cstring>

namespace cropling::preflight::walks {

namespace {

quint32 bigEndian32(const QByteArray& bytes, qsizetype at) {
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(bytes.constData() + at));
}

quint32 littleEndian32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(bytes.constData() + at));
}

constexpr qsizetype kMaxExifBytes = 1 << 20;

// Scans start with the marker FF DA. Inside entropy-coded data every FF byte is followed by 00 or
// a restart marker, so counting the pairs counts the scans exactly.
int jpegScans(const QByteArray& jpeg) {
    int scans = 0;
    const char* at = jpeg.constData();
    const char* end = at + jpeg.size();
    // memchr jumps from one FF byte to the next, which keeps this to a few milliseconds at 100 MP.
    while (end - at > 1) {
        const auto* found = static_cast<const char*>(std::memchr(at, 0xFF, size_t(end - at - 1)));
        if (!found)
            break;
        scans += found[1] == char(0xDA);
        at = found + 1;
    }
    return scans;
}

} // namespace

// A PNG is a signature and then chunks of length, type, data and CRC. Text chunks are dropped:
// compressed ones inflate to any size and libraries keep them all. Where the chunk list breaks
// (a cut file, junk after the end) the rest is kept as it is, for the decoder to judge, and the
// text chunks before it are still dropped.
QByteArray withoutPngText(const QByteArray& png) {
    QByteArray kept;
    bool dropped = false;
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const qsizetype total = qsizetype(bigEndian32(png, at)) + 12;
        if (total < 12 || total > png.size() - at)
            break;
        const QByteArray type = png.mid(at + 4, 4);
        // An eXIf chunk holds the orientation in its first bytes; one far larger than any camera
        // writes is dropped with the text, before a parser walks it.
        const bool text = type == "tEXt" || type == "zTXt" || type == "iTXt" || (type == "eXIf" && total > kMaxExifBytes);
        // The file is copied only from its first text chunk on; most PNGs have none and pass as they are.
        if (text && !dropped) {
            kept = png.left(at);
            dropped = true;
        } else if (!text && dropped) {
            kept.append(png.constData() + at, total);
        }
        at += total;
    }
    if (!dropped)
        return png;
    kept.append(png.constData() + at, png.size() - at);
    return kept;
}

bool hasWholeChunks(const QByteArray& png) {
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const auto* chunk = reinterpret_cast<const uchar*>(png.constData() + at);
        const qsizetype length = qsizetype(bigEndian32(png, at));
        if (length > png.size() - at - 12)
            return false;
        // zlib's checksum takes some 5 ms for a 24 MP file.
        const bool critical = (chunk[4] & 0x20) == 0;
        if (critical && crc32(0, chunk + 4, uInt(length + 4)) != bigEndian32(png, at + 8 + length))
            return false;
        if (std::memcmp(chunk + 4, "IEND", 4) == 0)
            return true;
        at += length + 12;
    }
    // Without its end chunk, a file whose last chunk is whole is read as libpng reads it.
    return at == png.size();
}

// Every JPEG is counted, not only those whose frame header says progressive: a walk to that header
// can be led astray by bytes the decoder skips (FF 00 and a length after the start), and no
// sequential file has more scans than it has components.
bool hasTooManyScans(const QByteArray& jpeg) { return jpegScans(jpeg) > kMaxJpegScans; }

// An animated WebP is a RIFF list of chunks with one ANMF chunk a frame. Everything up to the end
// of the frame after the most an animation may have is kept and the RIFF size set to match: the
// demuxer never walks a million frames, and a file with too many still says so.
QByteArray boundedWebpFrames(const QByteArray& webp) {
    qsizetype at = 12;
    int frames = 0;
    while (at + 8 <= webp.size()) {
        const qsizetype size = qsizetype(littleEndian32(webp, at + 4));
        const qsizetype total = 8 + size + (size & 1);
        if (size < 0 || total > webp.size() - at)
            return webp;
        if (webp.mid(at, 4) == "ANMF" && ++frames > kMaxFrames) {
            QByteArray cut = webp.left(at + total);
            qToLittleEndian<quint32>(quint32(cut.size() - 8), reinterpret_cast<uchar*>(cut.data() + 4));
            return cut;
        }
        at += total;
    }
    return webp;
}

// A TIFF's pages are a chain of directories. The picture is its first page, so the chain is cut
// after it, and a file with a million pages opens as fast as a file with one. Classic TIFF keeps
// 32-bit offsets and 12-byte entries, BigTIFF 64-bit offsets and 20-byte entries.
QByteArray firstTiffPage(QByteArray tiff) {
    const bool little = tiff.startsWith("II");
    // Every read is checked against the file's end: a file may end anywhere, even in its header.
    const auto read = [&](qsizetype at, int length) -> quint64 {
        quint64 value = 0;
        if (at < 0 || at > tiff.size() - length)
            return 0;
        for (int i = 0; i < length; ++i) {
            const quint64 byte = uchar(tiff[at + (little ? i : length - 1 - i)]);
            value |= byte << (8 * i);
        }
        return value;
    };
    const bool big = read(2, 2) == 43;
    const int offsetLength = big ? 8 : 4;
    const qsizetype first = qsizetype(read(big ? 8 : 4, offsetLength));
    const int countLength = big ? 8 : 2;
    if (first < 8 || first > tiff.size() - countLength)
        return tiff;
    // No more entries than the file could hold, so the size of the directory cannot overflow.
    const quint64 entries = read(first, countLength);
    if (entries > quint64(tiff.size()) / 12)
        return tiff;
    const qsizetype next = first + countLength + qsizetype(entries) * (big ? 20 : 12);
    if (next > tiff.size() - offsetLength || read(next, offsetLength) == 0)
        return tiff; // already one page: no copy of the file
    std::memset(tiff.data() + next, 0, size_t(offsetLength));
    return tiff;
}

bool hasWholeGifBlocks(const QByteArray& gif) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(gif.constData());
    const qsizetype size = gif.size();
    // The header and the screen descriptor, with the global colour table it announces.
    qsizetype at = 13;
    if (size < at)
        return false;
    if (bytes[10] & 0x80)
        at += 3 * (qsizetype(2) << (bytes[10] & 7));
    // Data sub-blocks: lengths, each followed by that many bytes, up to a zero length.
    const auto skipSubBlocks = [&] {
        while (at < size && bytes[at] != 0)
            at += 1 + bytes[at];
        if (at >= size)
            return false;
        ++at;
        return true;
    };
    while (at <= size) {
        if (at == size)
            return true; // no trailer, but nothing cut: browsers show such files too
        switch (bytes[at]) {
        case 0x3B: return true;
        case 0x21: // an extension: its label, then sub-blocks
            at += 2;
            if (at > size || !skipSubBlocks())
                return false;
            break;
        case 0x2C: { // an image: its descriptor, a local colour table, the code size, sub-blocks
            if (at + 10 > size)
                return false;
            const unsigned char packed = bytes[at + 9];
            at += 10;
            if (packed & 0x80)
                at += 3 * (qsizetype(2) << (packed & 7));
            ++at; // the LZW minimum code size
            if (at > size || !skipSubBlocks())
                return false;
            break;
        }
        default: return false;
        }
    }
    return false;
}

} // namespace cropling::preflight::walks
