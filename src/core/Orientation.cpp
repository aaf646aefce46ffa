#include "Orientation.h"

#include "core/CropGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cropling {

UprightTurn uprightTurn(int orientation) {
    switch (orientation) {
    case 2: return {0, true};
    case 3: return {180, false};
    case 4: return {180, true};
    case 5: return {90, true};
    case 6: return {90, false};
    case 7: return {270, true};
    case 8: return {270, false};
    default: return {};
    }
}

int orientationOf(UprightTurn turn) {
    const int degrees = ((turn.degrees % 360) + 360) % 360;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const UprightTurn candidate = uprightTurn(orientation);
        if (candidate.degrees == degrees && candidate.flip == turn.flip)
            return orientation;
    }
    return 1; // not a quarter turn
}

int composedOrientation(int first, int then) {
    // Each is a clockwise turn followed by a flip. A flip reverses the sense of any turn after it,
    // so the second turn counts against the first when the first flipped.
    const UprightTurn a = uprightTurn(first);
    const UprightTurn b = uprightTurn(then);
    return orientationOf({a.degrees + (a.flip ? -b.degrees : b.degrees), a.flip != b.flip});
}

QPointF turnedPoint(QPointF point, int orientation) {
    const UprightTurn turn = uprightTurn(orientation);
    // With y pointing down, a clockwise quarter turn takes (x, y) to (-y, x).
    for (int quarter = 0; quarter < turn.degrees / 90; ++quarter)
        point = QPointF(-point.y(), point.x());
    return turn.flip ? QPointF(-point.x(), point.y()) : point;
}

QSize uprightSize(QSize stored, int orientation) {
    return uprightTurn(orientation).degrees % 180 ? stored.transposed() : stored;
}

QRect storedRect(int orientation, QSize stored, const QRect& upright) {
    const UprightTurn turn = uprightTurn(orientation);
    // Undo the flip in the rotated frame, which has the upright size.
    QRect r = upright;
    if (turn.flip)
        r.moveLeft(uprightSize(stored, orientation).width() - r.x() - r.width());
    // Then undo the rotation: a clockwise quarter turn took stored (x, y) to (H - 1 - y, x).
    const int w = stored.width(), h = stored.height();
    switch (turn.degrees) {
    case 90: return QRect(r.y(), h - r.x() - r.width(), r.height(), r.width());
    case 180: return QRect(w - r.x() - r.width(), h - r.y() - r.height(), r.width(), r.height());
    case 270: return QRect(w - r.y() - r.height(), r.x(), r.height(), r.width());
    default: return r;
    }
}

std::optional<StoredSquare> storedSquare(QSize stored, int orientation, double zoom, QPointF offset, int n) {
    const QSize upright = uprightSize(stored, orientation);
    const auto source = emojiSourcePixels(upright.width(), upright.height(), zoom, offset);
    const auto canvas = emojiCanvasRect(upright.width(), upright.height(), zoom, offset, n);
    if (!source || !canvas)
        return std::nullopt;
    StoredSquare square;
    square.canvas = *canvas;
    // A quarter turn swaps the canvas's sides whichever way it goes.
    square.storedCanvas = uprightSize(canvas->size(), orientation);
    square.stored = storedRect(orientation, stored, *source);
    const int cropShorter = std::min(square.stored.width(), square.stored.height());
    const int storedShorter = std::min(stored.width(), stored.height());
    square.shorterSide = int(std::ceil(double(storedShorter) * 3 * n / cropShorter));
    return square;
}

PixelRows turnedUpright(const PixelRows& stored, int orientation) {
    if (uprightTurn(orientation).degrees == 0 && !uprightTurn(orientation).flip)
        return stored;
    const QSize size(stored.width, stored.height);
    const bool across = uprightTurn(orientation).degrees % 180 != 0;
    PixelRows upright{across ? stored.height : stored.width, across ? stored.width : stored.height, stored.bands, {}};
    upright.bytes.resize(stored.bytes.size());
    const size_t bands = size_t(stored.bands);
    for (int v = 0; v < upright.height; ++v) {
        std::uint8_t* out = upright.row(v);
        for (int u = 0; u < upright.width; ++u) {
            const QPoint from = storedRect(orientation, size, QRect(u, v, 1, 1)).topLeft();
            std::memcpy(out + size_t(u) * bands, stored.row(from.y()) + size_t(from.x()) * bands, bands);
        }
    }
    return upright;
}

int exifOrientation(const std::uint8_t* exif, std::size_t size) {
    if (size >= 6 && std::memcmp(exif, "Exif\0\0", 6) == 0) {
        exif += 6;
        size -= 6;
    }
    if (size < 8)
        return 1;
    const bool little = exif[0] == 'I' && exif[1] == 'I';
    if (!little && !(exif[0] == 'M' && exif[1] == 'M'))
        return 1;
    const auto read = [&](std::size_t at, int length) -> std::uint32_t {
        std::uint32_t value = 0;
        for (int i = 0; i < length; ++i)
            value |= std::uint32_t(exif[at + std::size_t(little ? i : length - 1 - i)]) << (8 * i);
        return value;
    };
    if (read(2, 2) != 42)
        return 1;
    const std::size_t directory = read(4, 4);
    if (directory > size - 2)
        return 1;
    const std::size_t entries = read(directory, 2);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * i;
        if (entry + 12 > size)
            return 1;
        // The tag is a SHORT (or, from some writers, a LONG); of several values the first counts.
        // Values that fit in four bytes sit in the entry, others where it points.
        if (read(entry, 2) == 0x0112) {
            const std::uint32_t type = read(entry + 2, 2);
            const std::uint64_t count = read(entry + 4, 4);
            if ((type != 3 && type != 4) || count < 1)
                return 1;
            const int length = type == 3 ? 2 : 4;
            std::size_t at = entry + 8;
            if (count * std::uint64_t(length) > 4) {
                at = read(entry + 8, 4);
                if (at > size || count * std::uint64_t(length) > size - at)
                    return 1;
            }
            const std::uint32_t value = read(at, length);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

} // namespace cropling
