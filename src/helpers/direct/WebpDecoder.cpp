#include "helpers/direct/SourceDecoder.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"

#include <QtEndian>

#include <webp/decode.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cropling::direct {

namespace {

class WebpDecoder final : public SourceDecoder {
public:
    explicit WebpDecoder(const QByteArray& encoded) : encoded_(encoded) {}

    // A header libwebp cannot read is left to libvips, whose judgement of such files the program
    // keeps; so is an animation, whose frames libvips composes.
    bool readHeader(Refusal* why) {
        why->failure.reset();
        WebPBitstreamFeatures features{};
        if (WebPGetFeatures(bytes(), size_t(encoded_.size()), &features) != VP8_STATUS_OK || features.width < 1 ||
            features.height < 1 || features.has_animation)
            return false;
        facts_.stored = QSize(features.width, features.height);
        facts_.alpha = features.has_alpha;
        readExtendedChunks();
        return true;
    }

    // libwebp crops first (from an even corner) and then scales what it cropped, so only the
    // part's rows and columns are filtered and scaled.
    std::optional<DecodedPart> decodePart(const QRect& stored, int shorterSide, Refusal* why) override {
        const int shorter = std::min(facts_.stored.width(), facts_.stored.height());
        // One pixel of room, so rounding inside the decoder cannot fall below the need.
        const double scale = shorterSide > 0 ? std::min(1.0, (shorterSide + 1.0) / shorter) : 1.0;
        const QRect crop = QRect(QPoint(stored.x() & ~1, stored.y() & ~1), stored.bottomRight()) & QRect(QPoint(), facts_.stored);
        const QSize scaled(std::max(1, int(std::lround(crop.width() * scale))), std::max(1, int(std::lround(crop.height() * scale))));
        const double rx = double(scaled.width()) / crop.width(), ry = double(scaled.height()) / crop.height();

        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config)) {
            why->failure = OpenFailure::Damaged;
            return std::nullopt;
        }
        config.options.use_cropping = 1;
        config.options.crop_left = crop.x();
        config.options.crop_top = crop.y();
        config.options.crop_width = crop.width();
        config.options.crop_height = crop.height();
        if (scaled != crop.size()) {
            config.options.use_scaling = 1;
            config.options.scaled_width = scaled.width();
            config.options.scaled_height = scaled.height();
        }
        // Filtering runs on a thread of its own beside the decode, unless the batch gave this helper one.
        config.options.use_threads = resamplerThreads() > 1;
        const int bands = facts_.alpha ? 4 : 3;
        config.output.colorspace = facts_.alpha ? MODE_RGBA : MODE_RGB;
        const VP8StatusCode status = WebPDecode(bytes(), size_t(encoded_.size()), &config);
        if (status != VP8_STATUS_OK) {
            why->failure = status == VP8_STATUS_OUT_OF_MEMORY ? OpenFailure::OutOfMemory : OpenFailure::Damaged;
            WebPFreeDecBuffer(&config.output);
            return std::nullopt;
        }
        DecodedPart part;
        part.window = QRectF((stored.x() - crop.x()) * rx, (stored.y() - crop.y()) * ry, stored.width() * rx, stored.height() * ry);
        const QRect pixels = windowPixels(part.window, scaled);
        part.at = pixels.topLeft();
        part.pixels = PixelRows{pixels.width(), pixels.height(), bands,
                                std::vector<std::uint8_t>(size_t(pixels.width()) * size_t(pixels.height()) * size_t(bands))};
        const WebPRGBABuffer& out = config.output.u.RGBA;
        for (int y = 0; y < pixels.height(); ++y)
            std::memcpy(part.pixels.row(y), out.rgba + size_t(pixels.y() + y) * size_t(out.stride) + size_t(pixels.x()) * size_t(bands),
                        size_t(pixels.width()) * size_t(bands));
        WebPFreeDecBuffer(&config.output);
        return part;
    }

private:
    const std::uint8_t* bytes() const { return reinterpret_cast<const std::uint8_t*>(encoded_.constData()); }

    // The extended format's header says what its chunks hold, as libvips reads them: alpha only
    // when its flag is set, the profile and the EXIF block only when theirs are, the first of each.
    void readExtendedChunks() {
        constexpr quint8 kProfileFlag = 0x20, kAlphaFlag = 0x10, kExifFlag = 0x08;
        if (encoded_.size() < 30 || encoded_.mid(12, 4) != "VP8X")
            return;
        const quint8 flags = bytes()[20];
        facts_.alpha = flags & kAlphaFlag;
        bool profileRead = !(flags & kProfileFlag), exifRead = !(flags & kExifFlag);
        qsizetype at = 12;
        while (at + 8 <= encoded_.size() && !(profileRead && exifRead)) {
            const qsizetype size = qsizetype(qFromLittleEndian<quint32>(bytes() + at + 4));
            if (size > encoded_.size() - at - 8)
                return;
            const QByteArray type = encoded_.mid(at, 4);
            if (type == "ICCP" && !profileRead) {
                facts_.iccProfile = encoded_.mid(at + 8, size);
                profileRead = true;
            } else if (type == "EXIF" && !exifRead) {
                facts_.orientation = exifOrientation(bytes() + at + 8, size_t(size));
                exifRead = true;
            }
            at += 8 + size + (size & 1);
        }
    }

    QByteArray encoded_;
};

} // namespace

std::unique_ptr<SourceDecoder> openWebp(const QByteArray& encoded, Refusal* why) {
    return withHeaderRead<WebpDecoder>(encoded, why);
}

} // namespace cropling::direct
