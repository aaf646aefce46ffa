#include "GifEncoder.h"

#include "core/Animation.h"
#include "image/VipsBytes.h"

#include <QElapsedTimer>

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
    // Leaving small changes to the frame before comes first, but a palette shared between frames
    // is what lets unchanged pixels go transparent at all, and a shared palette a few levels off
    // costs less than a change of 16 left out: the two grow together, the error left out ahead.
    const std::pair<double, double> together[] = {{1, 0}, {2, 3}, {2, 6}, {4, 10}, {4, 16}, {8, 25}, {8, 40}, {16, 60}, {32, 60}};
    for (const auto& [interframe, interpalette] : together) {
        s.interframeError = interframe;
        s.reusePalette = interpalette > 0;
        s.interpaletteError = interpalette > 0 ? interpalette : 3;
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

// Palettes found with less effort than the default are as good at 128 pixels and take a fifth of
// the time on busy frames; a search that only compares sizes takes the quickest.
constexpr int kEffort = 4;
constexpr int kQuickEffort = 1;

class Encoder {
public:
    explicit Encoder(const EmojiFrames& frames, int effort = kEffort)
        : side_(frames.frames.front().height()), count_(int(frames.frames.size())), effort_(effort) {
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
                                     ->set("effort", effort_)
                                     ->set("strip", true))
            .toByteArray();
    }
    int count() const { return count_; }

private:
    VImage strip_;
    int side_;
    int count_;
    int effort_;
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

// What a search must keep to, and how long it may refine: past the time, it takes the best file
// that fits so far, or goes straight to the smallest setting, so no animation holds an export up
// for long whatever its size.
constexpr qint64 kRefineMs = 15'000;

struct Limits {
    long long maxBytes;
    QElapsedTimer clock;
    bool late() const { return clock.elapsed() > kRefineMs; }
};

// The first step in lo..hi whose file fits, when steps[hi] is known to fit with `best`. A later
// step is never larger than an earlier one by more than noise, so thirds are ruled out two probes
// at a time.
Found narrow(const Encoder& encoder, const std::vector<Settings>& steps, const Limits& limits, int lo, int hi, Found best) {
    const long long maxBytes = limits.maxBytes;
    while (lo < hi && !limits.late()) {
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

// A long animation is first searched on a sample of it: runs of frames spread over its length,
// each run keeping what neighbouring frames share, with a budget in proportion. The step found
// there is where the search of the whole starts, and a few encodes of the whole are enough.
constexpr int kRuns = 2;
constexpr int kRunFrames = 20;
constexpr int kSampleFrames = kRuns * kRunFrames;

EmojiFrames sampleRuns(const EmojiFrames& all) {
    EmojiFrames sample;
    const size_t count = all.frames.size();
    for (int r = 0; r < kRuns; ++r) {
        const size_t from = count * size_t(2 * r + 1) / (2 * kRuns) - kRunFrames / 2;
        for (size_t i = from; i < from + kRunFrames; ++i) {
            sample.frames.push_back(all.frames[i]);
            sample.delaysMs.push_back(all.delaysMs[i]);
        }
    }
    sample.loop = all.loop;
    return sample;
}

// The best step whose file fits, or nothing when not even the smallest does; `smallestSize` says
// how large that one was, for the frame dropping that comes next.
std::optional<Found> bestWithin(const EmojiFrames& frames, const Encoder& encoder, const std::vector<Settings>& steps,
                                const Limits& limits, long long* smallestSize) {
    const long long maxBytes = limits.maxBytes;
    const int last = int(steps.size()) - 1;
    const auto fits = [maxBytes](const QByteArray& bytes) { return bytes.size() <= maxBytes; };
    if (encoder.count() < 2 * kSampleFrames) {
        auto [full, smallest] = encodeBoth(encoder, steps.front(), steps.back());
        *smallestSize = smallest.size();
        if (fits(full))
            return Found{std::move(full), 0};
        if (!fits(smallest))
            return std::nullopt;
        return narrow(encoder, steps, limits, 1, last, Found{std::move(smallest), last});
    }
    // A long animation: the search starts where its sample, with quick palettes, finds its step,
    // and walks from there two steps at a time, toward better steps while they fit.
    const EmojiFrames sample = sampleRuns(frames);
    long long ignored = 0;
    // The sample's share of the budget is a fifth above its share of the frames: each run starts
    // with a frame that saves nothing on the one before, and the quick palettes cost a little
    // more. On the benchmark's clips the whole came out 17 to 30% smaller than the share implies.
    Limits sampleLimits{maxBytes * kSampleFrames * 5 / (4 * encoder.count()), limits.clock};
    const auto guess = bestWithin(sample, Encoder(sample, kQuickEffort), steps, sampleLimits, &ignored);
    const int g = guess ? guess->step : last;
    // Two neighbouring steps at a time, i the better; one when they are the same.
    const auto probe = [&](int i, int j) {
        return i == j ? std::pair(encoder.encode(steps[size_t(i)]), QByteArray())
                      : encodeBoth(encoder, steps[size_t(i)], steps[size_t(j)]);
    };
    auto [before, at] = probe(std::max(g - 1, 0), g);
    if (g == 0)
        at = before;
    if (fits(at)) {
        // Toward better steps while they fit.
        Found best{std::move(at), g};
        int i = g;
        if (g > 0 && fits(before)) {
            best = {std::move(before), g - 1};
            i = g - 1;
            while (i > 0 && !limits.late()) {
                const int better = std::max(i - 2, 0);
                auto [x, y] = probe(better, i - 1);
                if (better == i - 1)
                    y = x;
                if (fits(x)) {
                    best = {std::move(x), better};
                    i = better;
                    continue;
                }
                if (fits(y))
                    best = {std::move(y), i - 1};
                break;
            }
        }
        return best;
    }
    // Toward smaller steps until one fits, or the smallest does not.
    for (int i = g + 1;; i += 2) {
        if (limits.late() && i < last)
            i = last;
        if (i > last) {
            *smallestSize = at.size();
            return std::nullopt;
        }
        const int worse = std::min(i + 1, last);
        auto [x, y] = probe(i, worse);
        if (worse == i)
            y = x;
        if (fits(x))
            return Found{std::move(x), i};
        if (fits(y))
            return Found{std::move(y), worse};
        if (worse == last) {
            *smallestSize = y.size();
            return std::nullopt;
        }
        at = y;
    }
}

} // namespace

std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, long long maxBytes) {
    if (frames.frames.empty() || frames.frames.size() != frames.delaysMs.size())
        return std::nullopt;
    const std::vector<Settings> steps = ladder();
    try {
        Limits limits{maxBytes, {}};
        limits.clock.start();
        const Encoder all(frames);
        long long smallest = 0;
        if (auto fits = bestWithin(frames, all, steps, limits, &smallest))
            return EncodedGif{std::move(fits->bytes), all.count()};
        // Frames go last, counted as frames kept (every k-th). The smallest file so far tells how
        // many to keep, about in proportion; that may overshoot, so the count then comes back up
        // by halving the gap to the last count that did not fit.
        const int count = int(frames.frames.size());
        const auto keeping = [&](int wanted) { return keepEvery(frames, (count + wanted - 1) / wanted); };
        int failing = count;
        int keep = count;
        std::optional<EncodedGif> found;
        while (!found) {
            const double ratio = double(smallest) / double(maxBytes);
            keep = limits.late() ? 1 : std::clamp(int(keep / ratio), 1, keep - 1);
            const EmojiFrames kept = keeping(keep);
            if (auto fits = bestWithin(kept, Encoder(kept), steps, limits, &smallest))
                found = EncodedGif{std::move(fits->bytes), int(kept.frames.size())};
            else if (keep == 1)
                return std::nullopt;
            else
                failing = keep;
        }
        while (failing - keep > 1 && !limits.late()) {
            const int middle = (failing + keep) / 2;
            const EmojiFrames kept = keeping(middle);
            if (int(kept.frames.size()) <= found->frames) { // the same frames as before
                keep = middle;
                continue;
            }
            if (auto fits = bestWithin(kept, Encoder(kept), steps, limits, &smallest)) {
                found = EncodedGif{std::move(fits->bytes), int(kept.frames.size())};
                keep = middle;
            } else {
                failing = middle;
            }
        }
        return found;
    } catch (const vips::VError&) {
        vips_error_clear();
    }
    return std::nullopt;
}

} // namespace cropling
