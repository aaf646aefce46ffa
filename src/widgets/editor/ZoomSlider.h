#pragma once

// The zoom slider: thousandths of a zoom step from the picture's lowest zoom (its fit zoom when
// that is below 1) to the highest, so it moves continuously and lands exactly on both ends. A click
// on the track jumps there, and screen readers hear the zoom ("2.3×"), not the slider's steps.

#include <QSlider>

namespace cropling {

class ZoomSlider : public QSlider {
    Q_OBJECT
public:
    explicit ZoomSlider(QWidget* parent = nullptr);

    void setZoomRange(double lowest, double highest);
    double lowest() const { return lowest_; }
    double highest() const { return highest_; }
    double zoomAt(int value) const { return lowest_ + value / 1000.0; }
    int valueFor(double zoom) const;
    // The zoom as people read it: "2.3×".
    static QString zoomText(double zoom);

private:
    double lowest_ = 1.0;
    double highest_ = 5.0;
};

} // namespace cropling
