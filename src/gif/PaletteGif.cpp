#include "PaletteGif.h"

#include <cgif.h>
#include <libimagequant.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace cropling {

using vips::VImage;

// What the quantizer works with, for one table: it uses up its histogram as it finds the table.
struct PaletteGif::Quantizer {
    liq_attr* attr = liq_attr_create();
    liq_histogram* histogram = nullptr;
    liq_result* result = nullptr;
    Quantizer() {
        if (!attr)
            throw std::bad_alloc();
        // Quicker than the default and as good at emoji size, measured on photographic clips.
        liq_set_speed(attr, 7);
        histogram = liq_histogram_create(attr);
        if (!histogram)
            throw std::bad_alloc();
    }
    ~Quantizer() {
        if (result)
            liq_result_destroy(result);
        if (histogram)
            liq_histogram_destroy(histogram);
        liq_attr_destroy(attr);
    }
    Quantizer(const Quantizer&) = delete;
    Quantizer& operator=(const Quantizer&) = delete;
};

PaletteGif::PaletteGif(const EmojiFrames& kept, Tables tables)
    : side_(kept.frames.front().height()), loop_(kept.loop), delaysMs_(kept.delaysMs), tables_(std::move(tables)) {
    const size_t pixels = size_t(side_) * size_t(side_);
    // The frames are read where they lie (a frame already in memory is not copied), each pixel's
    // opacity decided as it is read: GIF has one transparent colour and no partial opacity.
    const uint8_t* before = nullptr;
    for (const VImage& frame : kept.frames) {
        VImage rgba = frame.bands() == 3 ? frame.bandjoin_const({255.0}) : frame;
        if (rgba.format() != VIPS_FORMAT_UCHAR)
            rgba = rgba.cast(VIPS_FORMAT_UCHAR);
        rgba = rgba.copy_memory();
        if (rgba.width() != side_ || rgba.height() != side_ || rgba.bands() != 4)
            throw vips::VError("the frames differ in size");
        frames_.push_back(rgba);
        const uint8_t* now = pixelsOf(frames_.size() - 1);
        if (before && !alphaChanges_)
            for (size_t p = 0; p < pixels; ++p)
                if (!opaque(now, p) && opaque(before, p)) {
                    alphaChanges_ = true;
                    break;
                }
        before = now;
    }
}

const uint8_t* PaletteGif::pixelsOf(size_t frame) const {
    return static_cast<const uint8_t*>(vips_image_get_data(frames_[frame].get_image()));
}

PaletteGif::~PaletteGif() = default;

PaletteGif::Tables PaletteGif::tables() const {
    const std::lock_guard lock(tablesBusy_);
    return tables_;
}

std::vector<uint8_t> PaletteGif::table(int colours) const {
    {
        const std::lock_guard lock(tablesBusy_);
        if (const auto known = tables_.find(colours); known != tables_.end())
            return known->second;
    }
    Quantizer quantizer;
    // The colours of frames spread over the animation: enough to find its table, where every
    // frame of a long one would take the quantizer far longer for the same colours.
    const size_t count = frames_.size();
    const size_t used = std::min(count, kTableFrames);
    const size_t pixels = size_t(side_) * size_t(side_);
    std::vector<std::vector<uint8_t>> binary;
    for (size_t k = 0; k < used; ++k) {
        const uint8_t* source = pixelsOf(k * count / used);
        std::vector<uint8_t>& frame = binary.emplace_back(source, source + pixels * 4);
        for (size_t p = 0; p < pixels; ++p) {
            if (opaque(source, p))
                frame[4 * p + 3] = 255;
            else
                std::memset(&frame[4 * p], 0, 4);
        }
        liq_image* image = liq_image_create_rgba(quantizer.attr, frame.data(), side_, side_, 0);
        const bool added = image && liq_histogram_add_image(quantizer.histogram, quantizer.attr, image) == LIQ_OK;
        if (image)
            liq_image_destroy(image);
        if (!added)
            throw std::bad_alloc();
    }
    // One entry is kept for transparency: the frame's own and what is left to the frame before.
    liq_set_max_colors(quantizer.attr, std::clamp(colours - 1, 2, 255));
    if (liq_histogram_quantize(quantizer.histogram, quantizer.attr, &quantizer.result) != LIQ_OK || !quantizer.result)
        throw std::runtime_error("no colour table for the frames");
    const liq_palette* palette = liq_get_palette(quantizer.result);
    std::vector<uint8_t> opaque;
    for (unsigned i = 0; i < palette->count; ++i)
        if (palette->entries[i].a >= 128)
            opaque.insert(opaque.end(), {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
    const std::lock_guard lock(tablesBusy_);
    tables_[colours] = opaque;
    return opaque;
}

namespace {

// The nearest opaque entry of a table to any colour: entries sorted by green, searched outward
// from the colour's green until no entry further along can be nearer; repeated colours (flat
// areas, unchanged pixels) come from a small cache.
class NearestColour {
public:
    explicit NearestColour(const std::vector<uint8_t>& table, int transparent) {
        for (int i = 0; i < int(table.size() / 3); ++i)
            if (i != transparent)
                sorted_.push_back({table[3 * size_t(i) + 1], table[3 * size_t(i)], table[3 * size_t(i) + 2], uint8_t(i)});
        std::sort(sorted_.begin(), sorted_.end(), [](const Entry& a, const Entry& b) { return a.g < b.g; });
        cache_.assign(kCacheSize, 0);
    }

    uint8_t operator()(int r, int g, int b) {
        const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        uint64_t& slot = cache_[(key * 2654435761u) >> (32 - kCacheBits)];
        if ((slot >> 8) == (kFilled | key))
            return uint8_t(slot);
        const auto start = std::lower_bound(sorted_.begin(), sorted_.end(), g, [](const Entry& e, int v) { return e.g < v; });
        int best = -1, bestDistance = 1 << 30;
        const auto consider = [&](const Entry& e) {
            const int dr = e.r - r, dg = e.g - g, db = e.b - b;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = e.index;
            }
        };
        for (auto up = start; up != sorted_.end() && (up->g - g) * (up->g - g) < bestDistance; ++up)
            consider(*up);
        for (auto down = start; down != sorted_.begin() && (g - (down - 1)->g) * (g - (down - 1)->g) < bestDistance;)
            consider(*--down);
        slot = (kFilled | key) << 8 | uint64_t(best);
        return uint8_t(best);
    }

private:
    struct Entry {
        int g, r, b;
        uint8_t index;
    };
    static constexpr int kCacheBits = 16;
    static constexpr size_t kCacheSize = size_t(1) << kCacheBits;
    std::vector<Entry> sorted_;
    static constexpr uint64_t kFilled = uint64_t(1) << 24;
    std::vector<uint64_t> cache_;
};

// One frame mapped to the table, its error spread Floyd-Steinberg fashion (serpentine) scaled by
// `dither`, transparent pixels left out of it.
void mapFrame(const uint8_t* rgba, int side, const std::vector<uint8_t>& table, uint8_t transparent, float dither,
              NearestColour& nearest, uint8_t* indexes) {
    const size_t pixels = size_t(side) * size_t(side);
    if (dither <= 0) {
        for (size_t p = 0; p < pixels; ++p)
            indexes[p] = rgba[4 * p + 3] < 128 ? transparent : nearest(rgba[4 * p], rgba[4 * p + 1], rgba[4 * p + 2]);
        return;
    }
    // Errors of this row and the next, per channel, with a pixel of margin on each side.
    std::vector<float> here(size_t(side + 2) * 3, 0.f), next(size_t(side + 2) * 3, 0.f);
    for (int y = 0; y < side; ++y) {
        const bool leftward = y % 2 == 1;
        for (int step = 0; step < side; ++step) {
            const int x = leftward ? side - 1 - step : step;
            const size_t p = size_t(y) * size_t(side) + size_t(x);
            if (rgba[4 * p + 3] < 128) {
                indexes[p] = transparent;
                continue;
            }
            int want[3];
            for (int c = 0; c < 3; ++c)
                want[c] = std::clamp(int(std::lround(rgba[4 * p + size_t(c)] + here[size_t(x + 1) * 3 + size_t(c)])), 0, 255);
            const uint8_t index = nearest(want[0], want[1], want[2]);
            indexes[p] = index;
            const int ahead = leftward ? -1 : 1;
            for (int c = 0; c < 3; ++c) {
                const float error = dither * float(want[c] - table[3 * size_t(index) + size_t(c)]);
                here[size_t(x + 1 + ahead) * 3 + size_t(c)] += error * 7 / 16;
                next[size_t(x + 1 - ahead) * 3 + size_t(c)] += error * 3 / 16;
                next[size_t(x + 1) * 3 + size_t(c)] += error * 5 / 16;
                next[size_t(x + 1 + ahead) * 3 + size_t(c)] += error * 1 / 16;
            }
        }
        std::swap(here, next);
        std::fill(next.begin(), next.end(), 0.f);
    }
}

} // namespace

MappedFrames PaletteGif::map(int colours, float dither) const {
    MappedFrames mapped;
    mapped.table = table(colours);
    if (mapped.table.empty())
        mapped.table.assign(3, 0);
    mapped.transparent = int(mapped.table.size() / 3);
    mapped.table.insert(mapped.table.end(), {0, 0, 0});
    NearestColour nearest(mapped.table, mapped.transparent);
    const size_t pixels = size_t(side_) * size_t(side_);
    for (size_t f = 0; f < frames_.size(); ++f) {
        if (checkpoint_)
            checkpoint_();
        const uint8_t* frame = pixelsOf(f);
        std::vector<uint8_t> indexes(pixels);
        mapFrame(frame, side_, mapped.table, uint8_t(mapped.transparent), dither, nearest, indexes.data());
        mapped.indexes.push_back(std::move(indexes));
    }
    return mapped;
}

namespace {

int appendTo(void* context, const uint8_t* data, const size_t size) {
    static_cast<QByteArray*>(context)->append(reinterpret_cast<const char*>(data), qsizetype(size));
    return 0;
}

bool within(const uint8_t* rgba, const uint8_t* rgb, int error) {
    return std::abs(int(rgba[0]) - int(rgb[0])) <= error && std::abs(int(rgba[1]) - int(rgb[1])) <= error &&
           std::abs(int(rgba[2]) - int(rgb[2])) <= error;
}

} // namespace

QByteArray PaletteGif::encode(const MappedFrames& mapped, int keepWithin, std::vector<std::vector<uint8_t>>* shownOnGrey,
                             const std::vector<bool>* pages) const {
    QByteArray bytes;
    const int entries = int(mapped.table.size() / 3);
    const uint8_t transparent = uint8_t(mapped.transparent);
    CGIF_Config config{};
    config.pGlobalPalette = const_cast<uint8_t*>(mapped.table.data());
    // Animated even with one frame: the file keeps its delay, the length of what it stands for.
    config.attrFlags = CGIF_ATTR_IS_ANIMATED;
    config.width = uint16_t(side_);
    config.height = uint16_t(side_);
    config.numGlobalPaletteEntries = uint16_t(entries);
    // Plays `loop` times in all: the file says how often it repeats after the first.
    if (loop_ == 1)
        config.attrFlags |= CGIF_ATTR_NO_LOOP;
    config.numLoops = uint16_t(loop_ > 1 ? std::min(loop_ - 1, 65535) : 0);
    config.pWriteFn = appendTo;
    config.pContext = &bytes;
    CGIF* gif = cgif_newgif(&config);
    if (!gif)
        throw std::bad_alloc();
    // Closed however the encode ends, a checkpoint's throw included.
    struct Closer {
        CGIF* gif;
        ~Closer() {
            if (gif)
                cgif_close(gif);
        }
    } closer{gif};
    const size_t pixels = size_t(side_) * size_t(side_);
    // What a viewer shows after each frame: the transparent index where nothing is drawn yet.
    std::vector<uint8_t> shown(pixels, transparent);
    std::vector<uint8_t> drawn(pixels);
    if (shownOnGrey)
        shownOnGrey->clear();
    for (size_t f = 0; f < frames_.size(); ++f) {
        if (checkpoint_)
            checkpoint_();
        const uint8_t* source = pixelsOf(f);
        const uint8_t* indexes = mapped.indexes[f].data();
        CGIF_FrameConfig frame{};
        frame.transIndex = transparent;
        frame.delay = uint16_t(std::clamp((delaysMs_[f] + 5) / 10, 0, 65535));
        if (alphaChanges_ || f == 0) {
            std::memcpy(drawn.data(), indexes, pixels);
            shown = drawn;
            frame.attrFlags = alphaChanges_ ? CGIF_FRAME_ATTR_HAS_ALPHA : CGIF_FRAME_ATTR_HAS_SET_TRANS;
        } else {
            // A clear pixel was clear before too (no pixel turns clear), so it is left as it is.
            for (size_t p = 0; p < pixels; ++p) {
                const uint8_t now = indexes[p], before = shown[p];
                const bool keep = now == transparent || now == before ||
                                  (before != transparent && within(source + 4 * p, &mapped.table[3 * size_t(before)], keepWithin));
                drawn[p] = keep ? transparent : now;
                if (!keep)
                    shown[p] = now;
            }
            frame.attrFlags = CGIF_FRAME_ATTR_HAS_SET_TRANS;
            frame.genFlags = CGIF_FRAME_GEN_USE_DIFF_WINDOW;
        }
        frame.pImageData = drawn.data();
        if (cgif_addframe(gif, &frame) != CGIF_OK)
            throw std::runtime_error("the GIF could not be written");
        if (shownOnGrey && pages && (f >= pages->size() || !(*pages)[f])) {
            shownOnGrey->emplace_back();
        } else if (shownOnGrey) {
            std::vector<uint8_t> grey(pixels * 3, 128);
            for (size_t p = 0; p < pixels; ++p)
                if (shown[p] != transparent)
                    std::memcpy(&grey[3 * p], &mapped.table[3 * size_t(shown[p])], 3);
            shownOnGrey->push_back(std::move(grey));
        }
    }
    closer.gif = nullptr;
    if (cgif_close(gif) != CGIF_OK)
        throw std::runtime_error("the GIF could not be written");
    return bytes;
}

} // namespace cropling
