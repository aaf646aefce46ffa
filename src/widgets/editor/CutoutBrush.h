#pragma once

// The brush of keep and remove marks over the square, once a background was removed: a drag paints
// a stroke, shown as it goes, which becomes one mark when the button is let go. The stroke is kept
// in the square's pixels and turned into the picture's fractions only then.

#include "core/CropGeometry.h"
#include "core/CutoutMarks.h"

#include <QPointF>
#include <QSizeF>

#include <optional>
#include <vector>

class QPainter;

namespace cropling {

class CutoutBrush {
public:
    enum class Mode { Off, Keep, Remove };

    // The brush's radius in the square's pixels: a finger's width of the 340-pixel square.
    static constexpr double kRadius = 9.0;

    Mode mode() const { return mode_; }
    void setMode(Mode mode);
    bool isOn() const { return mode_ != Mode::Off; }
    bool isPainting() const { return !stroke_.empty(); }

    void begin(QPointF at);
    void extend(QPointF at);
    // The stroke as a mark on a picture of `pictureSize` framed as `framing`; nothing without a
    // stroke. The stroke is over either way.
    std::optional<CutoutMark> finish(QSizeF pictureSize, const Framing& framing);
    void cancel() { stroke_.clear(); }

    // The stroke so far, in the mode's colour, half transparent so the picture shows through.
    void paint(QPainter& painter) const;

private:
    Mode mode_ = Mode::Off;
    std::vector<QPointF> stroke_;
};

} // namespace cropling
