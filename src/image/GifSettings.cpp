#include "GifSettings.h"

#include "image/GifTables.h"
#include "image/shared/VipsBytes.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <utility>

namespace cropling {

using vips::VImage;

std::vector<GifSettings> gifLadder(double dither) {
    GifSettings s;
    s.dither = dither;
    std::vector<GifSettings> steps(1, s);
    // Leaving small changes to the frame before, but a palette shared between frames is what lets
    // unchanged pixels go transparent at all, and a shared palette a few levels off costs less
    // than a change of 16 left out: the two grow together, the error left out ahead.
    const std::pair<double, double> together[] = {{1, 0}, {2, 3}, {2, 6}, {4, 10}, {4, 16}, {8, 25}, {8, 40}, {12, 50}, {16, 60}, {20, 60}, {24, 60}, {32, 60}};
    for (const auto& [interframe, interpalette] : together) {
        s.interframeError = interframe;
        s.reusePalette = interpalette > 0;
        s.interpaletteError = s.reusePalette ? interpalette : 3;
        steps.push_back(s);
    }
    // Fewer colours cost more than changes left out, measured on photographic and flat clips alike.
    for (const int depth : {7, 6, 5, 4, 3, 2}) {
        s.bitdepth = depth;
        steps.push_back(s);
    }
    for (const double less : {0.5, 0.0}) {
        if (less < s.dither) {
            s.dither = less;
            steps.push_back(s);
        }
    }
    return steps;
}

// Refining stops after this long, and an encode still running a little later is stopped where it
// is: no animation holds an export up for long, whatever its size or number of frames.
constexpr qint64 kRefineMs = 8'000;
constexpr qint64 kOverdueMs = 11'000;

bool GifSearchLimits::late() const { return spentBefore + clock.elapsed() > kRefineMs; }

bool GifSearchLimits::overdue() const { return spentBefore + clock.elapsed() > kOverdueMs; }

void GifSearchLimits::check() const {
    if (progress && progress->cancelled())
        throw GifCancelled{};
}

void GifSearchLimits::reached(double part) const {
    if (progress)
        progress->report(from + share * std::clamp(part, 0.0, 1.0));
}

namespace {

// GIF has one transparent colour and no partial opacity: a pixel is either, decided at half.
VImage withBinaryAlpha(const VImage& frame) {
    const VImage opaque = frame.extract_band(3) >= 128;
    const VImage colour = opaque.ifthenelse(frame.extract_band(0, VImage::option()->set("n", 3)), std::vector<double>{0, 0, 0});
    return colour.bandjoin(opaque).cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

} // namespace

GifStrip::GifStrip(const EmojiFrames& frames, int effort)
    : side_(frames.frames.front().height()), count_(int(frames.frames.size())), effort_(effort) {
    // One tall image of pages in memory: every attempt encodes the same pixels. Each page is
    // copied into place: a join of hundreds of images would look at all of them for every tile.
    const size_t pixels = size_t(side_) * size_t(side_);
    const size_t pageBytes = pixels * 4;
    auto* memory = static_cast<unsigned char*>(g_malloc(pageBytes * frames.frames.size()));
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
    for (size_t i = 1; i < frames.frames.size() && !alphaChanges_; ++i) {
        const unsigned char* before = memory + pageBytes * (i - 1);
        const unsigned char* now = memory + pageBytes * i;
        for (size_t p = 0; p < pixels; ++p)
            if (now[4 * p + 3] == 0 && before[4 * p + 3] != 0) {
                alphaChanges_ = true;
                break;
            }
    }
    strip_ = VImage::new_from_memory_steal(memory, pageBytes * frames.frames.size(), side_, side_ * count_, 4,
                                           VIPS_FORMAT_UCHAR)
                 .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    strip_.set(VIPS_META_PAGE_HEIGHT, side_);
    strip_.set("delay", frames.delaysMs);
    strip_.set("loop", frames.loop);
}

namespace {

struct EncodeWatch {
    const GifSearchLimits* limits;
    std::atomic<bool> overdue{false};
    std::atomic<bool> cancelled{false};
};

// Called as the encode reads the strip, a few times a frame.
void checkEncode(VipsImage* image, VipsProgress*, gpointer data) {
    auto* watch = static_cast<EncodeWatch*>(data);
    const Progress* progress = watch->limits->progress;
    if (progress && progress->cancelled())
        watch->cancelled = true;
    else if (watch->limits->overdue())
        watch->overdue = true;
    else
        return;
    vips_image_set_kill(image, TRUE);
}

} // namespace

QByteArray GifStrip::encode(const GifSettings& s) const {
    if (!watched_)
        return encodeWatched(strip_, s);
    EncodeWatch watch{watched_};
    VImage watchedStrip = strip_.copy();
    vips_image_set_progress(watchedStrip.get_image(), TRUE);
    g_signal_connect(watchedStrip.get_image(), "eval", G_CALLBACK(checkEncode), &watch);
    try {
        return encodeWatched(watchedStrip, s);
    } catch (const vips::VError&) {
        vips_error_clear();
        if (watch.cancelled)
            throw GifCancelled{};
        if (watch.overdue)
            throw GifOverdue{};
        throw;
    }
}

QByteArray GifStrip::encodeWatched(const VImage& strip, const GifSettings& s) const {
    const QByteArray gif = VipsBytes::encode(strip, ".gif",
                                             VImage::option()
                                                 ->set("dither", s.dither)
                                                 ->set("bitdepth", s.bitdepth)
                                                 ->set("interframe_maxerror", s.interframeError)
                                                 ->set("reuse", s.reusePalette && !alphaChanges_)
                                                 ->set("interpalette_maxerror", s.interpaletteError)
                                                 ->set("effort", effort_)
                                                 ->set("strip", true))
                               .toByteArray();
    return withTransparentIndexesInTables(gif);
}

namespace {

// Two encodes at once, one on each core: the search waits for the slower.
std::pair<QByteArray, QByteArray> encodeBoth(const GifStrip& strip, const GifSettings& a, const GifSettings& b) {
    auto second = std::async(std::launch::async, [&strip, &b] { return strip.encode(b); });
    QByteArray first = strip.encode(a);
    return {std::move(first), second.get()};
}

// The first step in lo..hi whose file fits, when steps[hi] is known to fit with `best`. A later
// step is never larger than an earlier one by more than noise, so thirds are ruled out two probes
// at a time.
GifFound narrow(const GifStrip& strip, const std::vector<GifSettings>& steps, const GifSearchLimits& limits, int lo, int hi,
                GifFound best) {
    const long long maxBytes = limits.maxBytes;
    const double range = std::max(hi - lo, 1);
    while (lo < hi && !limits.late()) {
        limits.check();
        limits.reached(1 - (hi - lo) / range);
        if (hi - lo == 1) {
            QByteArray bytes = strip.encode(steps[size_t(lo)]);
            if (fitsIn(bytes, maxBytes))
                best = {std::move(bytes), lo};
            break;
        }
        const int a = lo + (hi - lo) / 3, b = lo + 2 * (hi - lo) / 3;
        auto [atA, atB] = encodeBoth(strip, steps[size_t(a)], steps[size_t(b)]);
        if (fitsIn(atA, maxBytes)) {
            hi = a;
            best = {std::move(atA), a};
        } else if (fitsIn(atB, maxBytes)) {
            lo = a + 1;
            hi = b;
            best = {std::move(atB), b};
        } else {
            lo = b + 1;
        }
    }
    limits.reached(1);
    return best;
}

// A long animation is first searched on a sample of it: runs of frames spread over its length,
// each run keeping what neighbouring frames share, with a budget in proportion. The step found
// there is where the search of the whole starts.
constexpr int kRuns = 2;
constexpr int kRunFrames = 20;
constexpr int kSampleFrames = kRuns * kRunFrames;
// Palettes found with less effort are as good at 128 pixels for comparing sizes, and quicker.
constexpr int kQuickEffort = 1;

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

} // namespace

std::optional<GifFound> bestSettingsWithin(const EmojiFrames& frames, const GifStrip& strip,
                                           const std::vector<GifSettings>& steps, const GifSearchLimits& limits,
                                           long long* smallestSize, int likelyFits) {
    const long long maxBytes = limits.maxBytes;
    const int last = int(steps.size()) - 1;
    const auto fits = [maxBytes](const QByteArray& bytes) { return fitsIn(bytes, maxBytes); };
    limits.check();
    if (strip.count() < 2 * kSampleFrames || likelyFits >= 0) {
        const int probe = likelyFits >= 0 ? std::min(likelyFits, last) : last;
        auto [full, atProbe] = probe == 0 ? std::pair(strip.encode(steps.front()), QByteArray())
                                          : encodeBoth(strip, steps.front(), steps[size_t(probe)]);
        if (fits(full))
            return GifFound{std::move(full), 0};
        if (probe == 0)
            atProbe = full;
        if (fits(atProbe))
            return narrow(strip, steps, limits, 1, probe, GifFound{std::move(atProbe), probe});
        if (probe == last) {
            *smallestSize = atProbe.size();
            return std::nullopt;
        }
        QByteArray smallest = strip.encode(steps.back());
        *smallestSize = smallest.size();
        if (!fits(smallest))
            return std::nullopt;
        return narrow(strip, steps, limits, probe + 1, last, GifFound{std::move(smallest), last});
    }
    // A long animation: the search starts where its sample, with quick palettes, finds its step,
    // and walks from there two steps at a time, toward better steps while they fit.
    const EmojiFrames sample = sampleRuns(frames);
    long long ignored = 0;
    // The sample's share of the budget is a fifth above its share of the frames: each run starts
    // with a frame that saves nothing on the one before, and the quick palettes cost a little
    // more. On the benchmark's clips the whole came out 17 to 30% smaller than the share implies.
    GifSearchLimits sampleLimits{maxBytes * kSampleFrames * 5 / (4 * strip.count()), limits.clock, limits.progress,
                                 limits.from, limits.share / 2};
    const auto guess = bestSettingsWithin(sample, GifStrip(sample, kQuickEffort), steps, sampleLimits, &ignored);
    const int g = guess ? guess->step : last;
    limits.reached(0.5);
    // Two neighbouring steps at a time, i the better; one when they are the same.
    const auto probe = [&](int i, int j) {
        limits.check();
        return i == j ? std::pair(strip.encode(steps[size_t(i)]), QByteArray())
                      : encodeBoth(strip, steps[size_t(i)], steps[size_t(j)]);
    };
    auto [before, at] = probe(std::max(g - 1, 0), g);
    if (g == 0)
        at = before;
    if (fits(at)) {
        // Toward better steps while they fit.
        GifFound best{std::move(at), g};
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
            return GifFound{std::move(x), i};
        if (fits(y))
            return GifFound{std::move(y), worse};
        if (worse == last) {
            *smallestSize = y.size();
            return std::nullopt;
        }
        at = y;
    }
}

} // namespace cropling
