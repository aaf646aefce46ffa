// The orientation tag read from EXIF blocks as cameras, editors and hostile files write them.

#include "core/Orientation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace cropling;

namespace {

// A little-endian TIFF block with one directory entry for the orientation tag.
std::vector<std::uint8_t> exifWith(std::uint16_t type, std::uint32_t count, std::uint32_t value, std::uint16_t entries = 1) {
    std::vector<std::uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    b.push_back(std::uint8_t(entries));
    b.push_back(std::uint8_t(entries >> 8));
    const std::uint8_t entry[12] = {0x12, 0x01, std::uint8_t(type), 0, std::uint8_t(count), std::uint8_t(count >> 8),
                                    std::uint8_t(count >> 16), std::uint8_t(count >> 24), std::uint8_t(value),
                                    std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
    b.insert(b.end(), entry, entry + 12);
    return b;
}

int orientationOf(const std::vector<std::uint8_t>& exif) { return exifOrientation(exif.data(), exif.size()); }

} // namespace

TEST(ExifOrientation, ReadsTheFirstShortOrLongAndNothingElse) {
    EXPECT_EQ(orientationOf(exifWith(3, 1, 6)), 6);
    EXPECT_EQ(orientationOf(exifWith(4, 1, 8)), 8);
    EXPECT_EQ(orientationOf(exifWith(3, 2, 0x00030006)), 6);
    // Values that cannot be where the entry points, another type, or a value outside 1 to 8 say
    // nothing.
    EXPECT_EQ(orientationOf(exifWith(3, 0x40000000, 6)), 1);
    EXPECT_EQ(orientationOf(exifWith(7, 1, 6)), 1);
    EXPECT_EQ(orientationOf(exifWith(3, 1, 9)), 1);
    EXPECT_EQ(orientationOf(exifWith(3, 1, 0)), 1);
}

TEST(ExifOrientation, EveryReadStaysInsideTheBlock) {
    const std::vector<std::uint8_t> whole = exifWith(3, 1, 6);
    // Cut anywhere, the block gives the tag only when the whole entry is there.
    for (size_t length = 0; length < whole.size(); ++length)
        EXPECT_EQ(exifOrientation(whole.data(), length), 1) << length;
    // A directory that claims far more entries than the block holds, or lies past its end.
    EXPECT_EQ(orientationOf(exifWith(3, 1, 6, 0xFFFF)), 6);
    std::vector<std::uint8_t> lost = whole;
    lost[10] = 0xF0;
    EXPECT_EQ(orientationOf(lost), 1);
    std::vector<std::uint8_t> many = exifWith(1, 1, 0, 0xFFFF);
    many[16] = 0x13; // not the orientation tag: the walk runs to the block's end and stops
    EXPECT_EQ(orientationOf(many), 1);
}
