#include "GifEncoder.h"

#include "core/Animation.h"
#include "image/VipsBytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <utility>

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
        // One tall image of pages in memory: every attempt encodes the same pixels. Each page is
        // copied into place: a join of hundreds of images would look at all of them for every tile.
        const size_t pageBytes = size_t(side_) * size_t(side_) * 4;
        auto* memory = static_cast<char*>(g_malloc(pageBytes * frames.frames.size()));
        try {
            for (size_t i = 0; i < frames.frames.size(); ++i) {
                const VImage page = withBinaryAlpha(frames.frames[i]).copy_memory();
                if (page.width() != side_ || page.height() != side_)
                    throw vips::VError("the frames differ in size");
                std::memcpy(memory + pageBytes * i, vips_image_get_data(page.get_image()), pageBytes);
            }
        } catch (...) {
            g_free(memory);
            throw;
        }
        strip_ = VImage::new_from_memory_steal(memory, pageBytes * frames.frames.size(), side_, side_ * count_, 4,
                                               VIPS_FORMAT_UCHAR)
                     .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
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

// Two encodes at once, one on each core: the search waits for the slower.
std::pair<QByteArray, QByteArray> encodeBoth(const Encoder& encoder, const Settings& a, const Settings& b) {
    auto second = std::async(std::launch::async, [&encoder, &b] { return encoder.encode(b); });
    QByteArray first = encoder.encode(a);
    return {std::move(first), second.get()};
}

struct Found {
    QByteArray bytes;
    int step = 0;
};

// The first step in lo..hi whose file fits, when steps[hi] is known to fit with `best`. A later
// step is never larger than an earlier one by more than noise, so thirds are ruled out two probes
// at a time.
Found narrow(const Encoder& encoder, const std::vector<Settings>& steps, long long maxBytes, int lo, int hi, Found best) {
    while (lo < hi) {
        if (hi - lo == 1) {
            QByteArray bytes = encoder.encode(steps[size_t(lo)]);
            if (bytes.size() <= maxBytes)
                best = {std::move(bytes), lo};
            break;
        }
        const int a = lo + (hi - lo) / 3, b = lo + 2 * (hi - lo) / 3;
        auto [atA, atB] = encodeBoth(encoder, steps[size_t(a)], steps[size_t(b)]);
        if (atA.size() <= maxBytes) {
            hi = a;
            best = {std::move(atA), a};
        } else if (atB.size() <= maxBytes) {
            lo = a + 1;
            hi = b;
            best = {std::move(atB), b};
        } else {
            lo = b + 1;
        }
    }
    return best;
}

// A long animation is first searched on a run of its frames with a budget in proportion: the
// sizes of neighbouring frames grow alike, so the step found there is where the whole one's
// search starts, and a few encodes of the whole are enough.
constexpr int kSampleFrames = 40;

EmojiFrames middleRun(const EmojiFrames& all) {
    EmojiFrames run;
    const size_t from = all.frames.size() / 2 - kSampleFrames / 2;
    run.frames.assign(all.frames.begin() + long(from), all.frames.begin() + long(from + kSampleFrames));
    run.delaysMs.assign(all.delaysMs.begin() + long(from), all.delaysMs.begin() + long(from + kSampleFrames));
    run.loop = all.loop;
    return run;
}

// The best step whose file fits, or nothing when not even the smallest does; `smallestSize` says
// how large that one was, for the frame dropping that comes next.
std::optional<Found> bestWithin(const EmojiFrames& frames, const Encoder& encoder, const std::vector<Settings>& steps,
                                long long maxBytes, long long* smallestSize) {
    const int last = int(steps.size()) - 1;
    auto [full, smallest] = encodeBoth(encoder, steps.front(), steps.back());
    *smallestSize = smallest.size();
    if (full.size() <= maxBytes)
        return Found{std::move(full), 0};
    if (smallest.size() > maxBytes)
        return std::nullopt;
    int lo = 1, hi = last;
    Found best{std::move(smallest), last};
    if (encoder.count() > 3 * kSampleFrames) {
        const EmojiFrames run = middleRun(frames);
        long long ignored = 0;
        const auto guess = bestWithin(run, Encoder(run), steps, maxBytes * kSampleFrames / encoder.count(), &ignored);
        const int g = std::clamp(guess ? guess->step : last, 2, last);
        auto [before, at] = encodeBoth(encoder, steps[size_t(g - 1)], steps[size_t(g)]);
        if (before.size() <= maxBytes) {
            hi = g - 1;
            best = {std::move(before), g - 1};
        } else if (at.size() <= maxBytes) {
            return Found{std::move(at), g};
        } else {
            lo = g + 1;
        }
    }
    return narrow(encoder, steps, maxBytes, lo, hi, std::move(best));
}

} // namespace

std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, long long maxBytes) {
    if (frames.frames.empty() || frames.frames.size() != frames.delaysMs.size())
        return std::nullopt;
    const std::vector<Settings> steps = ladder();
    try {
        const Encoder all(frames);
        long long smallest = 0;
        if (auto fits = bestWithin(frames, all, steps, maxBytes, &smallest))
            return EncodedGif{std::move(fits->bytes), all.count()};
        // Frames go last. The smallest file so far tells how far to thin out: about in proportion.
        const int count = int(frames.frames.size());
        for (int k = std::min(count, std::max(2, int(std::ceil(double(smallest) / double(maxBytes))))); k <= count;) {
            const EmojiFrames kept = keepEvery(frames, k);
            const Encoder thinned(kept);
            if (auto fits = bestWithin(kept, thinned, steps, maxBytes, &smallest))
                return EncodedGif{std::move(fits->bytes), thinned.count()};
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
