#include "FaceFraming.h"

#include "core/CropGeometry.h"
#include "core/FaceFinderAbi.h"
#include "core/SpareThread.h"
#include "image/Picture.h"
#include "image/shared/VipsRuntime.h"

#include <QCoreApplication>

#include <vips/vips8>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

namespace cropling {

using vips::VImage;

namespace {

// The translation context of the failure texts.
struct FaceText {
    Q_DECLARE_TR_FUNCTIONS(FaceFraming)
};

using Face = CroplingFace;

// Faces are looked for on a copy of this many pixels on its longer side: a face worth framing (a
// tenth of the shorter side or more) keeps 30 pixels or more there, and the search costs the same
// whatever the photo's size.
constexpr int kFaceSearchSide = 480;
constexpr int kMostFaces = 64;

} // namespace

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

namespace {

// How much there is to look at in what a framing shows of the searched copy: its mean edge
// strength. A plain sky or wall has little; faces, fur and text have much.
double interestOf(const VImage& edges, const Framing& framing) {
    const auto part = emojiSourcePixels(edges.width(), edges.height(), framing.zoom, framing.offset);
    return part ? edges.crop(part->x(), part->y(), part->width(), part->height()).avg() : 0.0;
}

// The busiest part must show this much more to replace the framing the user had.
constexpr double kClearGain = 1.25;

// No face: the most interesting part of the picture, at the opening zoom, unless it shows little
// more than the framing the user had.
AutoFraming attentionFraming(const VImage& colour, const VImage& grey, QSize full, const Framing& current) {
    int attentionX = 0, attentionY = 0;
    const int side = std::min(colour.width(), colour.height());
    (void)colour.smartcrop(side, side,
                           VImage::option()
                               ->set("interesting", VIPS_INTERESTING_ATTENTION)
                               ->set("attention_x", &attentionX)
                               ->set("attention_y", &attentionY));
    AutoFraming framing;
    const double toFull = double(full.width()) / grey.width();
    const double scale = CropFrame(QSizeF(full), 1.0).scale();
    framing.offset = QPointF((full.width() / 2.0 - attentionX * toFull) * scale,
                             (full.height() / 2.0 - attentionY * toFull) * scale);
    // Centred on what draws the eye is not always better than what the user had (a cat's fur
    // draws it away from the cat's eyes): the busiest part must show clearly more.
    const VImage edges = grey.sobel();
    const double proposed = interestOf(edges, {framing.zoom, clampedOffset(QSizeF(full), framing.zoom, framing.offset)});
    if (proposed < kClearGain * interestOf(edges, current)) {
        framing.zoom = current.zoom;
        framing.offset = current.offset;
        framing.kept = true;
    }
    return framing;
}

// The faces of one kind in the searched copy: how many, or -1 with the reason in `why`.
int facesOf(const FaceModule& finder, int kind, const VImage& grey, std::vector<Face>& faces, QString* why) {
    char error[256] = {};
    const int found = finder.findOf(kind, static_cast<const unsigned char*>(vips_image_get_data(grey.get_image())),
                                    grey.width(), grey.height(), grey.width(), faces.data(), int(faces.size()), error,
                                    int(sizeof error));
    if (found < 0)
        *why = QString::fromUtf8(error);
    return found;
}

} // namespace

void prepareAutoFrameHere() { ensureVipsStarted(); }

AutoFramingOutcome autoFrameHere(const Picture& picture, const Framing& current) {
    if (picture.isOpenedForRender() || picture.pixelWidth() < 1)
        return {std::nullopt, FaceText::tr("no picture to frame")};
    const FaceModule& finder = faceModule();
    if (!finder.findOf)
        return {std::nullopt, finder.error};
    ensureVipsStarted();
    const QSize full = picture.fullSize();
    try {
        const VImage& pixels = picture.pixels();
        const double shrink =
            std::min(1.0, double(kFaceSearchSide) / std::max(pixels.width(), pixels.height()));
        // A plain box-and-linear reduction: the search needs no finer filter. Both copies are held
        // in memory, as two threads may read them.
        const VImage colour = pixels.resize(shrink, VImage::option()->set("kernel", VIPS_KERNEL_LINEAR)).copy_memory();
        const VImage grey = colour.colourspace(VIPS_INTERPRETATION_B_W).extract_band(0).cast(VIPS_FORMAT_UCHAR).copy_memory();
        std::vector<Face> faces(kMostFaces);
        QString why;
        int found = facesOf(finder, CroplingFrontalFace, grey, faces, &why);
        if (found == 0) {
            // No one facing the camera. Profiles are looked for here, while a second core finds
            // where the picture draws the eye (what the framing falls back on) and then looks for
            // cats, unless a profile was found by then.
            std::atomic<bool> settled = false;
            std::vector<Face> cats(kMostFaces);
            QString catsWhy;
            const auto attentionAndCats = [&] {
                // A failed attention crop loses nothing when a face is found.
                std::optional<AutoFraming> attention;
                try {
                    attention = attentionFraming(colour, grey, full, current);
                } catch (const vips::VError&) {
                    vips_error_clear();
                }
                const int catsFound = settled ? 0 : facesOf(finder, CroplingCatFace, grey, cats, &catsWhy);
                return std::pair(attention, catsFound);
            };
            auto elsewhere = onSpareThread(attentionAndCats);
            found = facesOf(finder, CroplingProfileFace, grey, faces, &why);
            settled = found != 0;
            const auto [attention, catsFound] = elsewhere.valid() ? elsewhere.get() : attentionAndCats();
            if (found == 0) {
                found = catsFound;
                faces.swap(cats);
                why = catsWhy;
            }
            if (found == 0 && !attention)
                return {std::nullopt, FaceText::tr("the picture could not be searched")};
            if (found == 0)
                return {*attention, {}};
        }
        if (found < 0)
            return {std::nullopt, why};
        // From the searched copy to the picture's own pixels.
        const double toFull = double(full.width()) / grey.width();
        const QPointF centre(grey.width() / 2.0, grey.height() / 2.0);
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
        AutoFraming framing = framingFor(headAround(best.x * toFull, best.y * toFull, best.width * toFull,
                                                    best.height * toFull),
                                         full.width(), full.height());
        framing.faces = found;
        return {framing, {}};
    } catch (const vips::VError&) {
        vips_error_clear();
        return {std::nullopt, FaceText::tr("the picture could not be searched")};
    }
}

} // namespace cropling
