#include "Picture.h"

#include "image/DisplayPyramid.h"
#include "image/Decoding.h"

#include <QBuffer>

#include <algorithm>
#include <mutex>

#include <vips/vips8>

namespace cropling {

using vips::VImage;

struct Picture::Private {
    // The buffer the pixels of an animation's frames lie in: first, so it goes after everything
    // that points into it.
    std::shared_ptr<void> memory;
    explicit Private(VImage upright) : pixels(std::move(upright)) {
        if (!pixels.is_null())
            fullSize = QSize(pixels.width(), pixels.height());
    }
    VImage pixels;
    QSize fullSize;
    // Kept only by a picture opened for one render, whose pixels are decoded by that render: here
    // from its bytes, or in the helper that holds them.
    QByteArray encoded;
    std::shared_ptr<DecoderSession> session;
    // An animation's frames after the first, which is this picture itself.
    std::vector<std::shared_ptr<const Picture>> frames;
    std::vector<int> delaysMs;
    int loop = 0;
    int frameCount = 1;
    bool shareDisplay = false;
    // Made on the first paint: a scripted save never draws.
    std::once_flag displayMade;
    std::unique_ptr<DisplayPyramid> display;
};

Picture::Picture(std::unique_ptr<Private> d) : d_(std::move(d)) {}

Picture::~Picture() = default;

int Picture::pixelWidth() const { return d_->pixels.is_null() ? 0 : d_->pixels.width(); }

int Picture::pixelHeight() const { return d_->pixels.is_null() ? 0 : d_->pixels.height(); }

const VImage& Picture::pixels() const { return d_->pixels; }

QSize Picture::fullSize() const { return d_->fullSize; }

bool Picture::isDeferred() const { return !d_->encoded.isEmpty() || d_->session; }

DecoderSession* Picture::session() const { return d_->session.get(); }

const QByteArray& Picture::encoded() const { return d_->encoded; }

void Picture::prepareOwnDisplay() const {
    if (isDeferred())
        return;
    std::call_once(d_->displayMade, [this] { d_->display = std::make_unique<DisplayPyramid>(d_->pixels, d_->shareDisplay); });
}

void Picture::prepareDisplay() const {
    prepareOwnDisplay();
    for (size_t i = 1; i < d_->frames.size(); ++i)
        d_->frames[i]->prepareOwnDisplay();
}

const QImage& Picture::displayLevel(double devicePixelsPerPixel) const {
    // A picture opened for one render has no pixels to show.
    static const QImage nothing;
    if (isDeferred())
        return nothing;
    prepareOwnDisplay();
    return d_->display->levelFor(devicePixelsPerPixel);
}

std::shared_ptr<Picture> Picture::fromPixels(const VImage& pixels, QSize fullSize, bool frame) {
    auto picture = std::shared_ptr<Picture>(new Picture(std::make_unique<Private>(pixels)));
    picture->d_->shareDisplay = frame;
    if (fullSize.isValid())
        picture->d_->fullSize = fullSize;
    return picture;
}

std::shared_ptr<const Picture> Picture::renderedBy(std::shared_ptr<DecoderSession> session, QSize fullSize, int frames) {
    auto picture = std::shared_ptr<Picture>(new Picture(std::make_unique<Private>(VImage())));
    picture->d_->fullSize = fullSize;
    picture->d_->session = std::move(session);
    picture->d_->frameCount = std::max(frames, 1);
    return picture;
}

std::shared_ptr<const Picture> Picture::animated(std::vector<std::shared_ptr<const Picture>> frames,
                                                 std::vector<int> delaysMs, int loop, std::shared_ptr<void> memory) {
    if (frames.empty() || frames.size() != delaysMs.size())
        return nullptr;
    auto picture = std::shared_ptr<Picture>(new Picture(std::make_unique<Private>(frames.front()->pixels())));
    picture->d_->fullSize = frames.front()->fullSize();
    picture->d_->frameCount = int(frames.size());
    picture->d_->delaysMs = std::move(delaysMs);
    picture->d_->loop = loop;
    picture->d_->memory = std::move(memory);
    picture->d_->shareDisplay = true;
    picture->d_->frames = std::move(frames);
    return picture;
}

int Picture::frameCount() const { return d_->frameCount; }

const Picture& Picture::frame(int index) const {
    // The first frame is drawn from this picture's own pyramid, which every still use shares.
    if (index <= 0 || index >= int(d_->frames.size()))
        return *this;
    return *d_->frames[size_t(index)];
}

const std::vector<int>& Picture::frameDelays() const { return d_->delaysMs; }

int Picture::loopCount() const { return d_->loop; }

std::shared_ptr<const Picture> Picture::decode(const QByteArray& encoded, int minShorterSide) {
    const auto header = decoding::readHeader(encoded);
    return header ? decodeHeaded(*header, minShorterSide) : nullptr;
}

std::shared_ptr<const Picture> Picture::decodeHeaded(const decoding::Header& header, int minShorterSide) {
    // A second attempt without the embedded profile only when there is one that may be at fault.
    for (const bool useProfile : {true, false}) {
        if (!useProfile && !header.hasProfile)
            break;
        try {
            VImage stored = decoding::loadReduced(header, minShorterSide);
            // Turning reads the picture out of order, which a stream cannot serve: the reduced pixels
            // are gathered in memory first.
            if (header.orientation > 1)
                stored = decoding::withDeadline(stored).copy_memory();
            const VImage upright = decoding::turnUpright(stored, header.orientation);
            auto picture = fromPixels(decoding::withDeadline(decoding::toSrgb8(upright, useProfile)).copy_memory());
            picture->d_->fullSize = header.upright;
            return picture;
        } catch (const vips::VError& error) {
            decoding::noteFailure(error);
            vips_error_clear();
        }
    }
    return nullptr;
}

std::shared_ptr<const Picture> Picture::decodePreview(const QByteArray& encoded, int minShorterSide) {
    const auto header = decoding::readHeader(encoded);
    if (!header || !decoding::hasCheapReduction(*header, minShorterSide))
        return nullptr;
    return decodeHeaded(*header, minShorterSide);
}

std::shared_ptr<const Picture> Picture::open(const QByteArray& encoded) {
    const auto header = decoding::readHeader(encoded);
    return header ? openHeaded(*header) : nullptr;
}

std::shared_ptr<const Picture> Picture::openHeaded(const decoding::Header& header) {
    auto picture = std::shared_ptr<Picture>(new Picture(std::make_unique<Private>(VImage())));
    picture->d_->fullSize = header.upright;
    picture->d_->encoded = header.encoded;
    return picture;
}

std::shared_ptr<const Picture> Picture::fromImage(const QImage& image) {
    if (image.isNull())
        return nullptr;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return nullptr;
    return decode(png);
}

} // namespace cropling
