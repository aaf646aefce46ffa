#include "helpers/direct/SourceDecoder.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "image/decoding/ContainerWalks.h"

#include <spng.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cropling::direct {

namespace {

// Chunks before the pixels are kept by the decoder; none may be larger, nor all of them together.
constexpr size_t kMaxChunkBytes = 16u << 20;
constexpr size_t kMaxChunkCacheBytes = 64u << 20;

OpenFailure failureOf(int error) { return error == SPNG_EMEM ? OpenFailure::OutOfMemory : OpenFailure::Damaged; }

class PngDecoder final : public SourceDecoder {
public:
    explicit PngDecoder(const QByteArray& encoded) : encoded_(encoded) { newContext(); }
    ~PngDecoder() override {
        if (context_)
            spng_ctx_free(context_);
    }

    // A header libspng objects to (a broken chunk, a checksum that does not match, a chunk above
    // the limits) is left to libvips, whose judgement of such files the program keeps.
    bool readHeader(Refusal* why) {
        why->failure.reset();
        if (!context_)
            return false;
        if (!preflight::walks::hasWholeChunks(encoded_)) {
            why->failure = OpenFailure::Damaged;
            return false;
        }
        spng_ihdr header{};
        if (spng_get_ihdr(context_, &header) != 0 || header.width < 1 || header.height < 1)
            return false;
        facts_.stored = QSize(int(std::min<std::uint32_t>(header.width, INT32_MAX)),
                              int(std::min<std::uint32_t>(header.height, INT32_MAX)));
        // Every chunk before the pixels is read now, as other decoders read them with the header.
        spng_trns transparency{};
        const int chunks = spng_get_trns(context_, &transparency);
        if (chunks != 0 && chunks != SPNG_ECHUNKAVAIL)
            return false;
        if ((long long)header.width * header.height > kMaxDecodedPixels) {
            why->failure = OpenFailure::TooLarge;
            return false;
        }
        spng_iccp profile{};
        const bool hasProfile = spng_get_iccp(context_, &profile) == 0;
        // Interlaced rows arrive in seven passes, which a decode row by row cannot reduce as they
        // come: libvips takes such a file, a grey picture with a profile, and a 16-bit one with a
        // profile, which it converts before cutting it to 8 bits.
        if (header.interlace_method != SPNG_INTERLACE_NONE ||
            (hasProfile && (header.bit_depth == 16 || header.color_type == SPNG_COLOR_TYPE_GRAYSCALE ||
                            header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA))) {
            why->failure.reset();
            return false;
        }
        if (hasProfile)
            facts_.iccProfile = QByteArray(profile.profile, qsizetype(profile.profile_len));
        spng_exif exif{};
        if (spng_get_exif(context_, &exif) == 0)
            facts_.orientation = exifOrientation(reinterpret_cast<const std::uint8_t*>(exif.data), exif.length);
        const bool transparent = chunks == 0;
        facts_.alpha = header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                       header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA || transparent;
        // 8-bit RGB and RGBA rows come as they are stored, with no conversion pass.
        stored8_ = header.bit_depth == 8 && ((header.color_type == SPNG_COLOR_TYPE_TRUECOLOR && !transparent) ||
                                             header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA);
        why->failure.reset();
        return true;
    }

    // The rows arrive from the top: each is reduced as it comes by a box of whole pixels (in float,
    // on premultiplied alpha) to twice the side the render needs, and only the columns of the part
    // are kept.
    std::optional<DecodedPart> decodePart(const QRect& stored, int shorterSide, Refusal* why) override {
        // A second render starts a decoder of its own: one that has decoded rows cannot go back.
        if (used_ && !newContext()) {
            why->failure = OpenFailure::TooLarge;
            return std::nullopt;
        }
        used_ = true;
        const int w = facts_.stored.width(), h = facts_.stored.height();
        const int shorter = std::min(w, h);
        const int factor = shorterSide > 0 ? std::max(1, shorter / (2 * shorterSide)) : 1;
        const QSize reduced(w / factor, h / factor);
        DecodedPart part;
        part.window = scaledRect(stored, facts_.stored, reduced);
        const QRect pixels = windowPixels(part.window, reduced);
        part.at = pixels.topLeft();
        const int bands = facts_.alpha ? 4 : 3;
        part.pixels = PixelRows{pixels.width(), pixels.height(), bands,
                                std::vector<std::uint8_t>(size_t(pixels.width()) * size_t(pixels.height()) * size_t(bands))};

        const int format = stored8_ ? SPNG_FMT_PNG : facts_.alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
        int error = spng_decode_image(context_, nullptr, 0, format, SPNG_DECODE_PROGRESSIVE | (facts_.alpha ? SPNG_DECODE_TRNS : 0));
        if (error != 0) {
            why->failure = failureOf(error);
            return std::nullopt;
        }
        std::vector<std::uint8_t> row(size_t(w) * size_t(bands));
        const int firstRow = pixels.y() * factor;
        const int endRow = (pixels.y() + pixels.height()) * factor;
        const size_t firstByte = size_t(pixels.x()) * size_t(factor) * size_t(bands);
        std::vector<float> sums(size_t(pixels.width()) * size_t(bands));
        // Every row is inflated, those after the part too: only the end of the compressed stream
        // carries the checksum that tells damaged data from pixels.
        for (int y = 0; y < h; ++y) {
            error = spng_decode_row(context_, row.data(), row.size());
            if (error != 0 && !(error == SPNG_EOI && y == h - 1)) {
                why->failure = failureOf(error);
                return std::nullopt;
            }
            if (y < firstRow || y >= endRow)
                continue;
            const std::uint8_t* in = row.data() + firstByte;
            if (factor == 1) {
                std::memcpy(part.pixels.row(y - firstRow), in, sums.size());
                continue;
            }
            addRow(in, factor, bands, &sums);
            if ((y - firstRow + 1) % factor == 0) {
                finishRow(sums, factor, bands, part.pixels.row((y - firstRow) / factor));
                std::fill(sums.begin(), sums.end(), 0.0f);
            }
        }
        if ((error = spng_decode_chunks(context_)) != 0) {
            why->failure = failureOf(error);
            return std::nullopt;
        }
        return part;
    }

private:
    // A decoder at the file's start. The critical chunks' checksums are checked before any decode
    // (hasWholeChunks), so not again; an ancillary chunk that fails its own is dropped, as other
    // decoders drop it.
    bool newContext() {
        if (context_)
            spng_ctx_free(context_);
        context_ = spng_ctx_new(0);
        if (!context_)
            return false;
        spng_set_crc_action(context_, SPNG_CRC_USE, SPNG_CRC_DISCARD);
        spng_set_chunk_limits(context_, kMaxChunkBytes, kMaxChunkCacheBytes);
        spng_set_png_buffer(context_, encoded_.constData(), size_t(encoded_.size()));
        return true;
    }

    // Opaque pixels are summed as whole numbers, exactly and quickly; others premultiplied in float.
    static void addRow(const std::uint8_t* in, int factor, int bands, std::vector<float>* sums) {
        const size_t b = size_t(bands);
        const size_t width = sums->size() / b;
        if (bands == 3) {
            for (size_t x = 0; x < width; ++x) {
                std::uint32_t r = 0, g = 0, bl = 0;
                for (int i = 0; i < factor; ++i, in += 3) {
                    r += in[0];
                    g += in[1];
                    bl += in[2];
                }
                float* sum = sums->data() + x * 3;
                sum[0] += float(r);
                sum[1] += float(g);
                sum[2] += float(bl);
            }
            return;
        }
        for (size_t x = 0; x < width; ++x) {
            float* sum = sums->data() + x * b;
            for (int i = 0; i < factor; ++i, in += b) {
                const float a = in[3] / 255.0f;
                for (size_t c = 0; c < 3; ++c)
                    sum[c] += in[c] * a;
                sum[3] += in[3];
            }
        }
    }

    static void finishRow(const std::vector<float>& sums, int factor, int bands, std::uint8_t* out) {
        const float area = float(factor) * float(factor);
        const size_t b = size_t(bands);
        for (size_t i = 0; i < sums.size(); i += b) {
            float unpremultiply = 1.0f;
            if (bands == 4) {
                const float a = sums[i + 3] / area;
                unpremultiply = a == 0 ? 0.0f : 255.0f / a;
                out[i + 3] = std::uint8_t(std::clamp(std::nearbyint(a), 0.0f, 255.0f));
            }
            for (size_t c = 0; c < 3; ++c)
                out[i + c] = std::uint8_t(std::clamp(std::nearbyint(sums[i + c] / area * unpremultiply), 0.0f, 255.0f));
        }
    }

    QByteArray encoded_;
    spng_ctx* context_ = nullptr;
    bool used_ = false;
    bool stored8_ = false;
};

} // namespace

std::unique_ptr<SourceDecoder> openPng(const QByteArray& encoded, Refusal* why) {
    return withHeaderRead<PngDecoder>(encoded, why);
}

} // namespace cropling::direct
