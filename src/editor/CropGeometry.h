#pragma once

// Where a picture lies inside the square crop area, and which rectangle of it the square shows.
// Everything here is plain arithmetic on doubles so that the editor, the chat preview and the PNG
// render agree to the last bit; nothing is rounded to whole points or pixels.

#include <optional>

namespace cropling {

// The side of the interactive crop square, in points. Offsets are always measured in these points,
// whatever size the picture is drawn at.
inline constexpr double kCropSide = 340.0;

struct SizeD {
    double width = 0;
    double height = 0;
    friend bool operator==(const SizeD&, const SizeD&) = default;
};

struct RectD {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double right() const { return x + width; }
    double bottom() const { return y + height; }
};

// A picture of a given size seen through the crop square at a given zoom. The size is the nominal
// size for the on-screen geometry and the pixel size for the render; only its aspect ratio matters
// for where things land, which is why both agree.
class CropFrame {
public:
    CropFrame(double width, double height, double zoom) : w_(width), h_(height), zoom_(zoom) {}

    // Both sides positive (false for zero, negative and not-a-number sides).
    bool hasArea() const { return w_ > 0 && h_ > 0; }
    double shorterSide() const { return h_ < w_ ? h_ : w_; }
    // Crop-area points per picture unit: the fill scale first, then the zoom, in that order.
    double scale() const { return (kCropSide / shorterSide()) * zoom_; }
    // How far the picture's centre may move from the square's centre while it still covers it.
    SizeD limits() const;
    // The allowed offset nearest to a proposed one; (0, 0) for a picture without area.
    SizeD clamp(SizeD proposed) const;
    // The rectangle of the picture, in picture units, that the square shows at this offset.
    RectD cropRect(SizeD offset) const;
    // Where the whole picture is drawn inside a square of the given side, in that square's points.
    RectD placement(SizeD offset, double side) const;

private:
    double w_;
    double h_;
    double zoom_;
};

// The clamp of the editor: with no picture every offset collapses to the centre.
SizeD clampedOffset(std::optional<SizeD> pictureSize, double zoom, SizeD proposed);

} // namespace cropling
