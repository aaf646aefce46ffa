#include "GifTables.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace cropling {

namespace {

constexpr int kHeader = 13; // signature, version and the logical screen descriptor
constexpr int kImageDescriptor = 10;

// Entries in a table of this packed size field: 2^(n+1).
int tableEntries(unsigned char packed) { return 2 << (packed & 7); }

// The packed size field of the smallest table that holds `entries`.
unsigned char sizeFieldFor(int entries) {
    unsigned char field = 0;
    while ((2 << field) < entries)
        ++field;
    return field;
}

struct Image {
    int descriptor = 0; // offset of the image separator
    bool localTable = false;
    int needs = 0;      // entries its transparent index needs
};

// Where the images are and what their transparent indexes need, or nothing when the blocks do
// not lie as the format has them.
std::optional<std::vector<Image>> walk(const QByteArray& gif) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(gif.constData());
    const int size = int(gif.size());
    const auto skipSubBlocks = [&](int at) -> std::optional<int> {
        while (at < size && bytes[at] != 0)
            at += 1 + bytes[at];
        return at < size ? std::optional<int>(at + 1) : std::nullopt;
    };
    if (size < kHeader || !gif.startsWith("GIF8"))
        return std::nullopt;
    int at = kHeader + ((bytes[10] & 0x80) ? 3 * tableEntries(bytes[10]) : 0);
    std::vector<Image> images;
    int pendingTransparent = -1;
    while (at < size) {
        const unsigned char block = bytes[at];
        if (block == 0x3B)
            return images;
        if (block == 0x21 && at + 1 < size) {
            if (bytes[at + 1] == 0xF9 && at + 7 < size && bytes[at + 2] == 4)
                pendingTransparent = (bytes[at + 3] & 1) ? bytes[at + 6] : -1;
            const auto next = skipSubBlocks(at + 2);
            if (!next)
                return std::nullopt;
            at = *next;
        } else if (block == 0x2C && at + kImageDescriptor < size) {
            Image image{at, (bytes[at + 9] & 0x80) != 0, pendingTransparent + 1};
            pendingTransparent = -1;
            at += kImageDescriptor + (image.localTable ? 3 * tableEntries(bytes[at + 9]) : 0);
            const auto next = at < size ? skipSubBlocks(at + 1) : std::nullopt; // past the code size
            if (!next)
                return std::nullopt;
            at = *next;
            images.push_back(image);
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt; // no trailer
}

// Copies a table of `packed`'s size from `from`, padded with black to the size that holds
// `entries`.
void appendTable(QByteArray& out, const char* from, unsigned char packed, int entries) {
    const int have = tableEntries(packed);
    out.append(from, 3 * have);
    out.append(QByteArray(3 * ((2 << sizeFieldFor(entries)) - have), '\0'));
}

} // namespace

QByteArray withTransparentIndexesInTables(const QByteArray& gif) {
    const auto images = walk(gif);
    if (!images)
        return gif;
    const auto* bytes = reinterpret_cast<const unsigned char*>(gif.constData());
    const bool globalTable = (bytes[10] & 0x80) != 0;
    int globalNeeds = 0;
    bool anyShort = false;
    for (const Image& image : *images) {
        const unsigned char packed = image.localTable ? bytes[image.descriptor + 9] : bytes[10];
        const bool hasTable = image.localTable || globalTable;
        if (hasTable && image.needs > tableEntries(packed)) {
            anyShort = true;
            if (!image.localTable)
                globalNeeds = std::max(globalNeeds, image.needs);
        }
    }
    if (!anyShort)
        return gif;

    QByteArray out;
    out.reserve(gif.size() + 3 * 256);
    int at = kHeader;
    out.append(gif.constData(), kHeader);
    if (globalTable) {
        const int entries = std::max(tableEntries(bytes[10]), globalNeeds);
        out[10] = char((bytes[10] & ~7) | sizeFieldFor(entries));
        appendTable(out, gif.constData() + at, bytes[10], entries);
        at += 3 * tableEntries(bytes[10]);
    }
    for (const Image& image : *images) {
        out.append(gif.constData() + at, image.descriptor - at); // the extensions before it
        at = image.descriptor;
        const unsigned char packed = bytes[at + 9];
        out.append(gif.constData() + at, kImageDescriptor);
        at += kImageDescriptor;
        if (image.localTable) {
            const int entries = std::max(tableEntries(packed), image.needs);
            out[out.size() - 1] = char((packed & ~7) | sizeFieldFor(entries));
            appendTable(out, gif.constData() + at, packed, entries);
            at += 3 * tableEntries(packed);
        }
    }
    out.append(gif.constData() + at, gif.size() - at); // the last image's data and the trailer
    return out;
}

} // namespace cropling
