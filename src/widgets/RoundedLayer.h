#pragma once

// Content drawn at device pixels into a layer, then cut to a rounded square with an antialiased
// edge (a clip path would leave the corners jagged). The crop square and the preview emoji both
// draw this way.

#include <functional>

class QPainter;

namespace cropling {

class RoundedLayer {
public:
    // `content` paints in logical pixels into a side x side square; it is told the device pixel ratio. The
    // ratio is the painter's device's, so a 2x screen or a 2x image gets 2x pixels.
    using Content = std::function<void(QPainter& painter, double dpr)>;
    static void paint(QPainter& painter, double side, double radius, const Content& content);
};

} // namespace cropling
