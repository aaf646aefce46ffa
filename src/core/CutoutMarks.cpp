#include "CutoutMarks.h"

#include <algorithm>
#include <cmath>

namespace cropling {

namespace {

// Every pixel whose centre lies within `radius` of the segment a-b, in pixels.
void paintSegment(double ax, double ay, double bx, double by, double radius, int width, int height, std::uint8_t* labels,
                  std::uint8_t value) {
    const int x0 = std::max(0, int(std::floor(std::min(ax, bx) - radius)));
    const int x1 = std::min(width - 1, int(std::ceil(std::max(ax, bx) + radius)));
    const int y0 = std::max(0, int(std::floor(std::min(ay, by) - radius)));
    const int y1 = std::min(height - 1, int(std::ceil(std::max(ay, by) + radius)));
    const double dx = bx - ax, dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double px = x + 0.5 - ax, py = y + 0.5 - ay;
            const double t = length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0, 1.0) : 0.0;
            const double ex = px - t * dx, ey = py - t * dy;
            if (ex * ex + ey * ey <= radius * radius)
                labels[size_t(y) * size_t(width) + size_t(x)] = value;
        }
}

} // namespace

void paintMarks(const std::vector<CutoutMark>& marks, int width, int height, std::uint8_t* labels, std::uint8_t keepValue,
                std::uint8_t removeValue) {
    if (width <= 0 || height <= 0)
        return;
    for (const CutoutMark& mark : marks) {
        if (mark.points.empty())
            continue;
        // At least a pixel wide, so a mark on a small reduction still says something.
        const double radius = std::max(1.0, mark.radius * std::min(width, height));
        const std::uint8_t value = mark.keep ? keepValue : removeValue;
        for (size_t i = 0; i < mark.points.size(); ++i) {
            const auto& [ax, ay] = mark.points[i == 0 ? 0 : i - 1];
            const auto& [bx, by] = mark.points[i];
            paintSegment(ax * width, ay * height, bx * width, by * height, radius, width, height, labels, value);
        }
    }
}

} // namespace cropling
