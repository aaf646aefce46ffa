#include "GifEncoder.h"

#include "core/Animation.h"
#include "image/VipsBytes.h"

#include <algorithm>
#include <cmath>

namespace cropling {

using vips::VImage;

namespace {

// One point on the way from the best GIF to the smallest, each a visible loss beyond the one before.
struct Settings {
    double interframeError = 0; // a pixel that changed less than this stays the previous frame's
    bool reusePalette = false;
    double interpaletteError = 3; // how far a shared palette may be from a frame's own
    int bitdepth = 8;             // 2^bitdepth colours at most
    double dither = 1.0;
};

std::vector<Settings> ladder() {
    std::vector<Settings> steps(1);
    Settings s;
    for (const double error : {1.0, 2.0, 4.0, 8.0, 16.0, 32.0}) {
        s.interframeError = error;
        steps.push_back(s);
    }
    s.reusePalette = true;
    for (const double error : {3.0, 10.0, 25.0, 60.0}) {
        s.interpaletteError = error;
        steps.push_back(s);
    }
    for (const int depth : {7, 6, 5, 4, 3, 2}) {
        s.bitdepth = depth;
        steps.push_back(s);
    }
    for (const double dither : {0.5, 0.0}) {
        s.dither = dither;
        steps.push_back(s);
    }
    return steps;
}

// GIF has one transparent colour and no partial opacity: a pixel is either, decided at half.
VImage withBinaryAlpha(const VImage& frame) {
    const VImage opaque = frame.extract_band(3) >= 128;
    const VImage colour = opaque.ifthenelse(frame.extract_band(0, VImage::option()->set("n", 3)), std::vector<double>{0, 0, 0});
    return colour.bandjoin(opaque).cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Every k-th frame, each showing for itself and the frames dropped after it.
EmojiFrames keepEvery(const EmojiFrames& all, int k) {
    if (k <= 1)
        return all;
    EmojiFrames kept;
    kept.loop = all.loop;
    for (size_t i = 0; i < all.frames.size(); i += size_t(k)) {
        int delay = 0;
        for (size_t j = i; j < std::min(all.frames.size(), i + size_t(k)); ++j)
            delay += shownDelay(all.delaysMs[j]);
        kept.frames.push_back(all.frames[i]);
        kept.delaysMs.push_back(delay);
    }
    return kept;
}

class Encoder {
public:
    explicit Encoder(const EmojiFrames& frames) : side_(frames.frames.front().height()), count_(int(frames.frames.size())) {
        std::vector<VImage> pages;
        for (const VImage& frame : frames.frames)
            pages.push_back(withBinaryAlpha(frame));
        // One tall image of pages in memory: every attempt encodes the same pixels.
        strip_ = VImage::arrayjoin(pages, VImage::option()->set("across", 1)).copy_memory();
        strip_.set(VIPS_META_PAGE_HEIGHT, side_);
        strip_.set("delay", frames.delaysMs);
        strip_.set("loop", frames.loop);
    }
    QByteArray encode(const Settings& s) const {
        return VipsBytes::encode(strip_, ".gif",
                                 VImage::option()
                                     ->set("dither", s.dither)
                                     ->set("bitdepth", s.bitdepth)
                                     ->set("interframe_maxerror", s.interframeError)
                                     ->set("reuse", s.reusePalette)
                                     ->set("interpalette_maxerror", s.interpaletteError)
                                     // Palettes found with less effort than the default are as
                                     // good at 128 pixels and take a fifth of the time on busy frames.
                                     ->set("effort", 4)
                                     ->set("strip", true))
            .toByteArray();
    }
    int count() const { return count_; }

private:
    VImage strip_;
    int side_;
    int count_;
};

// The first step of the ladder whose file fits, found by halving: a later step is never larger
// than an earlier one by more than noise, so the search costs a handful of encodes.
std::optional<QByteArray> bestWithin(const Encoder& encoder, const std::vector<Settings>& steps, long long maxBytes,
                                     long long* smallestSize = nullptr) {
    QByteArray smallest = encoder.encode(steps.back());
    if (smallestSize)
        *smallestSize = smallest.size();
    if (smallest.size() > maxBytes)
        return std::nullopt;
    int lo = 0, hi = int(steps.size()) - 1; // steps[hi] fits
    QByteArray best = smallest;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        QByteArray bytes = encoder.encode(steps[size_t(mid)]);
        if (bytes.size() <= maxBytes) {
            hi = mid;
            best = std::move(bytes);
        } else {
            lo = mid + 1;
        }
    }
    return best;
}

} // namespace

std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, long long maxBytes) {
    if (frames.frames.empty() || frames.frames.size() != frames.delaysMs.size())
        return std::nullopt;
    const std::vector<Settings> steps = ladder();
    try {
        const Encoder all(frames);
        QByteArray best = all.encode(steps.front());
        if (best.size() <= maxBytes)
            return EncodedGif{best, all.count()};
        long long smallest = 0;
        if (auto fits = bestWithin(all, steps, maxBytes, &smallest))
            return EncodedGif{*fits, all.count()};
        // Frames go last. The smallest file so far tells how far to thin out: about in proportion.
        const int count = int(frames.frames.size());
        for (int k = std::min(count, std::max(2, int(std::ceil(double(smallest) / double(maxBytes))))); k <= count;) {
            const Encoder thinned(keepEvery(frames, k));
            if (auto fits = bestWithin(thinned, steps, maxBytes, &smallest))
                return EncodedGif{*fits, thinned.count()};
            if (k == count)
                break;
            const double ratio = double(smallest) / double(maxBytes);
            k = std::min(count, std::max(k + 1, int(std::ceil(k * ratio))));
        }
    } catch (const vips::VError&) {
        vips_error_clear();
    }
    return std::nullopt;
}

} // namespace cropling
