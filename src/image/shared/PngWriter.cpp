#include "PngWriter.h"

#include <QtEndian>

#include <zlib.h>

#include <array>
#include <cstdlib>

namespace cropling {

namespace {

// zlib's own default: the strongest level costs tens of milliseconds on smooth pictures, where its
// longest searches find long matches everywhere, for files some ten per cent smaller.
constexpr int kLevel = 6;

int paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// A row behind its filter byte, filtered as the filter says against the row above (zeros above
// the first).
void filterRow(int filter, const std::uint8_t* row, const std::uint8_t* above, size_t length, size_t bands,
               std::uint8_t* out) {
    out[0] = std::uint8_t(filter);
    for (size_t i = 0; i < length; ++i) {
        const int a = i >= bands ? row[i - bands] : 0;
        const int b = above[i];
        const int c = i >= bands ? above[i - bands] : 0;
        int predicted = 0;
        switch (filter) {
        case 1: predicted = a; break;
        case 2: predicted = b; break;
        case 3: predicted = (a + b) / 2; break;
        case 4: predicted = paeth(a, b, c); break;
        default: break;
        }
        out[i + 1] = std::uint8_t(row[i] - predicted);
    }
}

long long cost(const std::uint8_t* filtered, size_t length) {
    long long sum = 0;
    for (size_t i = 1; i <= length; ++i)
        sum += std::abs(int(std::int8_t(filtered[i])));
    return sum;
}

void appendChunk(QByteArray* png, const char* type, const QByteArray& data) {
    std::array<uchar, 4> length{};
    qToBigEndian<quint32>(quint32(data.size()), length.data());
    png->append(reinterpret_cast<const char*>(length.data()), 4);
    const qsizetype start = png->size();
    png->append(type, 4);
    png->append(data);
    std::array<uchar, 4> crc{};
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(png->constData() + start), uInt(data.size() + 4))),
                          crc.data());
    png->append(reinterpret_cast<const char*>(crc.data()), 4);
}

} // namespace

std::optional<QByteArray> writePng(const PixelRows& rgba) {
    if (rgba.bands != 4 || rgba.width < 1 || rgba.height < 1)
        return std::nullopt;
    const size_t length = size_t(rgba.width) * 4;
    QByteArray filtered(qsizetype((length + 1) * size_t(rgba.height)), Qt::Uninitialized);
    std::vector<std::uint8_t> zeros(length), candidate(length + 1);
    for (int y = 0; y < rgba.height; ++y) {
        const std::uint8_t* above = y > 0 ? rgba.row(y - 1) : zeros.data();
        auto* best = reinterpret_cast<std::uint8_t*>(filtered.data()) + size_t(y) * (length + 1);
        long long bestCost = -1;
        for (int filter = 0; filter < 5; ++filter) {
            filterRow(filter, rgba.row(y), above, length, 4, candidate.data());
            const long long c = cost(candidate.data(), length);
            if (bestCost < 0 || c < bestCost) {
                bestCost = c;
                std::copy(candidate.begin(), candidate.end(), best);
            }
        }
    }
    uLongf deflatedLength = compressBound(uLong(filtered.size()));
    QByteArray deflated(qsizetype(deflatedLength), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(deflated.data()), &deflatedLength,
                  reinterpret_cast<const Bytef*>(filtered.constData()), uLong(filtered.size()), kLevel) != Z_OK)
        return std::nullopt;
    deflated.truncate(qsizetype(deflatedLength));

    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(rgba.width), header.data());
    qToBigEndian<quint32>(quint32(rgba.height), header.data() + 4);
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(&png, "IHDR", header);
    appendChunk(&png, "IDAT", deflated);
    appendChunk(&png, "IEND", QByteArray());
    return png;
}

} // namespace cropling
