#include "FaceSearch.h"

#include "core/SpareThread.h"
#include "image/FaceModule.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <vector>

namespace cropling {

namespace {

// The translation context of the failure texts.
struct FaceText {
    Q_DECLARE_TR_FUNCTIONS(FaceFraming)
};

using Face = CroplingFace;
constexpr int kMostFaces = 64;

// The faces of one kind in the searched copy: how many, or -1 with the reason in `why`.
int facesOf(const FaceModule& finder, int kind, const PixelRows& grey, std::vector<Face>& faces, QString* why) {
    char error[256] = {};
    const int found = finder.findOf(kind, grey.bytes.data(), grey.width, grey.height, grey.width, faces.data(),
                                    int(faces.size()), error, int(sizeof error));
    if (found < 0)
        *why = QString::fromUtf8(error);
    return found;
}

} // namespace

SearchCopy searchCopyOf(PixelRows reduced) {
    SearchCopy copy;
    copy.grey = PixelRows{reduced.width, reduced.height, 1, std::vector<std::uint8_t>(size_t(reduced.width) * size_t(reduced.height))};
    const size_t bands = size_t(reduced.bands);
    for (size_t i = 0, o = 0; o < copy.grey.bytes.size(); i += bands, ++o) {
        const std::uint8_t* p = reduced.bytes.data() + i;
        // The luma OpenCV's own conversion gives, which its detectors were trained on.
        copy.grey.bytes[o] = std::uint8_t((77 * p[0] + 150 * p[1] + 29 * p[2] + 128) >> 8);
    }
    copy.colour = std::move(reduced);
    return copy;
}

SearchCopy searchCopyOf(const PixelView& pixels) {
    const double shrink = std::min(1.0, double(SearchCopy::kSide) / std::max(pixels.width, pixels.height));
    const int width = std::max(1, int(std::lround(pixels.width * shrink)));
    const int height = std::max(1, int(std::lround(pixels.height * shrink)));
    return searchCopyOf(resampleWindow(pixels, QPoint(0, 0), QRectF(0, 0, pixels.width, pixels.height), width, height));
}

AutoFramingOutcome framingOfFaces(const SearchCopy& copy, QSize full, const AttentionSearch& attention) {
    const FaceModule& finder = faceModule();
    if (!finder.findOf)
        return {std::nullopt, finder.error};
    const PixelRows& grey = copy.grey;
    std::vector<Face> faces(kMostFaces);
    QString why;
    int found = facesOf(finder, CroplingFrontalFace, grey, faces, &why);
    if (found == 0) {
        // No one facing the camera: profiles and then cats are looked for here, while a second
        // core finds where the picture draws the eye, which the framing falls back on.
        auto elsewhere = onSpareThread(attention);
        found = facesOf(finder, CroplingProfileFace, grey, faces, &why);
        if (found == 0)
            found = facesOf(finder, CroplingCatFace, grey, faces, &why);
        const std::optional<AutoFraming> busiest = elsewhere.valid() ? elsewhere.get() : found == 0 ? attention() : std::nullopt;
        if (found == 0 && !busiest)
            return {std::nullopt, FaceText::tr("the picture could not be searched")};
        if (found == 0)
            return {*busiest, {}};
    }
    if (found < 0)
        return {std::nullopt, why};
    // From the searched copy to the picture's own pixels.
    const double toFull = double(full.width()) / grey.width;
    const QPointF centre(grey.width / 2.0, grey.height / 2.0);
    const auto area = [](const Face& f) { return double(f.width) * f.height; };
    const auto distance = [&](const Face& f) {
        return std::hypot(f.x + f.width / 2.0 - centre.x(), f.y + f.height / 2.0 - centre.y());
    };
    // The largest face; of faces of one size (within a tenth), the one nearest the centre.
    const Face best = *std::max_element(faces.begin(), faces.begin() + found, [&](const Face& a, const Face& b) {
        if (std::abs(area(a) - area(b)) > 0.1 * std::max(area(a), area(b)))
            return area(a) < area(b);
        return distance(a) > distance(b);
    });
    AutoFraming framing = framingFor(headAround(best.x * toFull, best.y * toFull, best.width * toFull, best.height * toFull),
                                     full.width(), full.height());
    framing.faces = found;
    return {framing, {}};
}

QString nothingToFrame() { return FaceText::tr("no picture to frame"); }

HeadBox headAround(double x, double y, double width, double height) {
    const double side = 1.6 * std::max(width, height);
    // The face's box runs from the brows to the chin: the head reaches further above it (hair)
    // than below (the chin and a little neck).
    return {x + width / 2, y + height / 2 - 0.1 * height, side};
}

AutoFraming framingFor(const HeadBox& head, double pictureWidth, double pictureHeight) {
    const double shorter = std::min(pictureWidth, pictureHeight);
    AutoFraming framing;
    framing.zoom = std::clamp(shorter / head.side, kMinZoom, kMaxZoom);
    // A picture point p shows at the square's centre plus offset plus (p - picture centre) * scale.
    const double scale = CropFrame(QSizeF(pictureWidth, pictureHeight), framing.zoom).scale();
    framing.offset = QPointF((pictureWidth / 2 - head.centreX) * scale, (pictureHeight / 2 - head.centreY) * scale);
    return framing;
}

} // namespace cropling
