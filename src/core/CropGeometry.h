#pragma once

// Where a picture lies inside the square crop area, and which rectangle of it the square shows.
// Everything here is plain arithmetic on doubles so that the editor, the chat preview and the PNG
// render agree to the last bit; nothing is rounded to whole logical or device pixels.

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace cropling {

// The side of the interactive crop square, in logical pixels. Offsets are always measured in these
// pixels, whatever size the picture is drawn at.
inline constexpr double kCropSide = 340.0;
// The side of the exported emoji, in image pixels.
inline constexpr int kEmojiSide = 128;
// The largest output side the render accepts: eight times the emoji, and a render whose decode
// and filter stay well inside the decoding helper's memory limit.
inline constexpr int kMaxOutputSize = 1024;
// Pictures above this many decoded pixels are refused before any pixel memory is allocated.
// 400 MP leaves room for 200 MP phone photos and stitched panoramas.
inline constexpr long long kMaxDecodedPixels = 400'000'000LL;
// The zoom range the user can choose; the scripted run may set any number. Below kMinZoom the
// user reaches only the fit zoom of a picture that is not square (see fitZoom()).
inline constexpr double kMinZoom = 1.0;
inline constexpr double kMaxZoom = 5.0;

// How the square frames a picture: the zoom, and the picture's centre relative to the square's
// centre in the square's logical pixels.
struct Framing {
    double zoom = 1.0;
    QPointF offset;
    bool operator==(const Framing&) const = default;
};

// A picture of a given size seen through the crop square at a given zoom. The size is the nominal
// size for the on-screen geometry and the pixel size for the render; only its aspect ratio matters
// for where things land, which is why both agree.
class CropFrame {
public:
    CropFrame(QSizeF pictureSize, double zoom) : w_(pictureSize.width()), h_(pictureSize.height()), zoom_(zoom) {}

    // Both sides positive (false for zero, negative and not-a-number sides).
    bool hasArea() const { return w_ > 0 && h_ > 0; }
    double shorterSide() const { return h_ < w_ ? h_ : w_; }
    // Crop-area pixels per picture unit: the fill scale first, then the zoom, in that order.
    double scale() const { return (kCropSide / shorterSide()) * zoom_; }
    // How far the picture's centre may move from the square's centre while it still covers it.
    QPointF limits() const;
    // The allowed offset nearest to a proposed one; (0, 0) for a picture without area.
    QPointF clamp(QPointF proposed) const;
    // The rectangle of the picture, in picture units, that the square shows at this offset.
    QRectF cropRect(QPointF offset) const;
    // Where the whole picture is drawn inside a square of the given side, in that square's pixels.
    QRectF placement(QPointF offset, double side) const;

private:
    double w_;
    double h_;
    double zoom_;
};

// The shorter side a decoded picture needs for the emoji render at this zoom: the square then shows
// at least three picture pixels per emoji pixel, so the final Lanczos reduction keeps its quality.
int renderShorterSide(double zoom);
// The shorter side a picture is decoded at for the window: every zoom renders as above, and the
// square shows a picture pixel per device pixel up to the highest zoom.
int workingShorterSide(double devicePixelRatio);

// The offset that keeps the picture point under `anchor` (a point of the square, measured from its
// centre) where it is when the zoom goes from `zoom` to `newZoom`: zooming toward the pointer.
QPointF offsetZoomedAbout(QPointF offset, double zoom, double newZoom, QPointF anchor);

// The clamp of the editor: with no picture every offset collapses to the centre.
QPointF clampedOffset(std::optional<QSizeF> pictureSize, double zoom, QPointF proposed);

// The zoom at which the whole picture fits inside the square, centred: its shorter side over its
// longer one (1 for a square picture or one without area).
double fitZoom(QSizeF pictureSize);
// The lowest zoom the user can choose for a picture: the fit zoom, or kMinZoom for none.
double lowestZoom(std::optional<QSizeF> pictureSize);

// Where the picture lands on an n x n emoji: the whole canvas when the picture covers the square;
// when it does not (a zoom below 1), the rectangle of output pixels it covers, the rest of the
// canvas left transparent rather than the picture stretched over it. Nothing when
// emojiSourcePixels gives nothing.
std::optional<QRect> emojiCanvasRect(int width, int height, double zoom, QPointF offset, int n);

// The whole pixels of a W x H bitmap that the crop square shows: the crop rectangle intersected with
// the bitmap, expanded outward to whole pixels. Nothing when the zoom is not a positive finite
// number, when there is no overlap, or when the overlap is 1 pixel or less on either axis.
std::optional<QRect> emojiSourcePixels(int width, int height, double zoom, QPointF offset);

} // namespace cropling
