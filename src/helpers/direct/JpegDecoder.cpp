#include "helpers/direct/SourceDecoder.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"

#include <cstdio> // jpeglib.h needs FILE
#include <csetjmp>
#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cropling::direct {

namespace {

// libjpeg reports errors by calling back; the decoder jumps out to the call that started the work.
struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool outOfMemory = false;
    bool damaged = false;
    int warnings = 0;
};

// A file that draws more warnings than this is damaged throughout, as libvips judges it.
constexpr int kMaxWarnings = 100;

[[noreturn]] void onError(j_common_ptr info) {
    auto* error = reinterpret_cast<ErrorJump*>(info->err);
    error->outOfMemory = info->err->msg_code == JERR_OUT_OF_MEMORY;
    std::longjmp(error->jump, 1);
}

// A few warnings about damage inside the data are passed over, as other viewers do; the end of the
// file before the end of the picture is not (the picture would have a grey lower half), nor damage
// everywhere.
void onMessage(j_common_ptr info, int level) {
    auto* error = reinterpret_cast<ErrorJump*>(info->err);
    if (level >= 0)
        return;
    if (info->err->msg_code == JWRN_JPEG_EOF || ++error->warnings > kMaxWarnings)
        error->damaged = true;
}

class JpegDecoder final : public SourceDecoder {
public:
    explicit JpegDecoder(const QByteArray& encoded) : encoded_(encoded) {
        info_.err = jpeg_std_error(&error_.manager);
        error_.manager.error_exit = onError;
        error_.manager.emit_message = onMessage;
        jpeg_create_decompress(&info_);
    }
    ~JpegDecoder() override { jpeg_destroy_decompress(&info_); }

    // A header libjpeg cannot read is left to libvips, whose judgement of such files the program
    // keeps; so are CMYK and YCCK (print files, with Adobe's inverted ink).
    bool readHeader(Refusal* why) {
        why->failure.reset();
        if (setjmp(error_.jump))
            return false;
        if (!begin() || info_.image_width < 1 || info_.image_height < 1)
            return false;
        if (info_.jpeg_color_space != JCS_GRAYSCALE && info_.jpeg_color_space != JCS_YCbCr &&
            info_.jpeg_color_space != JCS_RGB)
            return false;
        facts_.stored = QSize(int(info_.image_width), int(info_.image_height));
        facts_.reducesWhileDecoding = true;
        if ((long long)info_.image_width * info_.image_height > kMaxDecodedPixels) {
            why->failure = OpenFailure::TooLarge;
            return false;
        }
        for (jpeg_saved_marker_ptr marker = info_.marker_list; marker; marker = marker->next) {
            if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
                facts_.orientation = exifOrientation(marker->data, marker->data_length);
                break;
            }
        }
        JOCTET* profile = nullptr;
        unsigned int length = 0;
        if (jpeg_read_icc_profile(&info_, &profile, &length) && profile) {
            facts_.iccProfile = QByteArray(reinterpret_cast<const char*>(profile), qsizetype(length));
            std::free(profile);
        }
        return true;
    }

    std::optional<DecodedPart> decodePart(const QRect& stored, int shorterSide, Refusal* why) override {
        // A second render reads the file again from its start.
        if (used_) {
            if (setjmp(error_.jump)) {
                why->failure = OpenFailure::Damaged;
                return std::nullopt;
            }
            jpeg_abort_decompress(&info_);
            if (!begin()) {
                why->failure = OpenFailure::Damaged;
                return std::nullopt;
            }
        }
        used_ = true;
        // The smallest DCT scaling, M/8, that keeps the shorter side: the decoder then computes
        // only as many pixels as the filter reads.
        const int shorter = std::min(facts_.stored.width(), facts_.stored.height());
        int eighths = 1;
        while (eighths < 8 && (long long)shorter * eighths < 8LL * shorterSide)
            ++eighths;
        info_.scale_num = unsigned(eighths);
        info_.scale_denom = 8;
        info_.out_color_space = JCS_RGB;
        // What the decode fills lives in the decoder, not on this frame, which the error jump
        // returns to.
        DecodedPart& part = part_;
        std::vector<JSAMPLE>& line = line_;
        if (setjmp(error_.jump)) {
            why->failure = error_.outOfMemory ? OpenFailure::OutOfMemory : OpenFailure::Damaged;
            return std::nullopt;
        }
        jpeg_calc_output_dimensions(&info_);
        const QSize reduced(int(info_.output_width), int(info_.output_height));
        part.window = scaledRect(stored, facts_.stored, reduced);
        const QRect pixels = windowPixels(part.window, reduced);
        part.at = pixels.topLeft();
        part.pixels = PixelRows{pixels.width(), pixels.height(), 3, std::vector<std::uint8_t>(size_t(pixels.width()) * size_t(pixels.height()) * 3)};

        jpeg_start_decompress(&info_);
        // Only the columns of the part (widened to whole blocks) are computed, the rows above it
        // are passed over, and the file is not read past its last row.
        JDIMENSION left = JDIMENSION(pixels.x());
        JDIMENSION width = JDIMENSION(pixels.width());
        if (width < info_.output_width)
            jpeg_crop_scanline(&info_, &left, &width);
        line.resize(size_t(width) * 3);
        if (pixels.y() > 0)
            jpeg_skip_scanlines(&info_, JDIMENSION(pixels.y()));
        const size_t skip = (size_t(pixels.x()) - left) * 3;
        for (int y = 0; y < pixels.height(); ++y) {
            JSAMPROW row = line.data();
            if (jpeg_read_scanlines(&info_, &row, 1) != 1 || error_.damaged) {
                why->failure = OpenFailure::Damaged;
                jpeg_abort_decompress(&info_);
                return std::nullopt;
            }
            std::memcpy(part.pixels.row(y), line.data() + skip, size_t(pixels.width()) * 3);
        }
        jpeg_abort_decompress(&info_);
        return std::move(part);
    }

private:
    // The source set to the file's first byte and its header read, with the markers of its EXIF
    // block and colour profile kept.
    bool begin() {
        error_.damaged = false;
        error_.warnings = 0;
        jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(encoded_.constData()), (unsigned long)encoded_.size());
        jpeg_save_markers(&info_, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&info_, JPEG_APP0 + 2, 0xFFFF);
        return jpeg_read_header(&info_, TRUE) == JPEG_HEADER_OK;
    }

    QByteArray encoded_;
    bool used_ = false;
    jpeg_decompress_struct info_{};
    ErrorJump error_{};
    DecodedPart part_;
    std::vector<JSAMPLE> line_;
};

} // namespace

std::unique_ptr<SourceDecoder> openJpeg(const QByteArray& encoded, Refusal* why) {
    return withHeaderRead<JpegDecoder>(encoded, why);
}

} // namespace cropling::direct
