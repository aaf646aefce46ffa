#include "GifEncoder.h"

#include "core/Animation.h"
#include "gif/GifSettings.h"

#include <algorithm>
#include <cmath>

namespace cropling {

using vips::VImage;

namespace {

// The frames as a viewer sees them on a mid grey, RGB, one byte a channel: what quality is judged
// on, so a transparent pixel shown opaque counts as the error it is.
std::vector<unsigned char> onGrey(const VImage& frame) {
    VImage rgba = frame;
    if (rgba.bands() == 3)
        rgba = rgba.bandjoin_const({255.0});
    const VImage flat = rgba.flatten(VImage::option()->set("background", std::vector<double>{128, 128, 128}))
                            .cast(VIPS_FORMAT_UCHAR)
                            .copy_memory();
    const auto* data = static_cast<const unsigned char*>(vips_image_get_data(flat.get_image()));
    return {data, data + size_t(flat.width()) * size_t(flat.height()) * 3};
}

// At most this many source frames are compared, spread evenly: enough to judge a long clip.
constexpr int kJudgedFrames = 100;

// How the source frames look on grey, for the frames judged.
struct Reference {
    std::vector<int> indexes;
    std::vector<std::vector<unsigned char>> pixels;
};

Reference referenceOf(const EmojiFrames& frames) {
    Reference reference;
    const int total = int(frames.frames.size());
    const int judged = std::min(total, kJudgedFrames);
    for (int k = 0; k < judged; ++k) {
        const int i = int((long long)k * total / judged);
        reference.indexes.push_back(i);
        reference.pixels.push_back(onGrey(frames.frames[size_t(i)]));
    }
    return reference;
}

// The mean PSNR over the judged source frames of the GIF frame shown in each one's place, the
// frame kept for it when frames were dropped; `firsts` says which source frame each GIF frame
// starts at.
int pageOf(const std::vector<int>& firsts, int index) {
    return int(std::upper_bound(firsts.begin(), firsts.end(), index) - firsts.begin()) - 1;
}

double qualityOf(const std::vector<std::vector<uint8_t>>& shown, const std::vector<int>& firsts, const Reference& reference) {
    const int pages = int(shown.size());
    double sum = 0;
    for (size_t k = 0; k < reference.indexes.size(); ++k) {
        const int page = pageOf(firsts, reference.indexes[k]);
        const std::vector<unsigned char>& a = reference.pixels[k];
        const std::vector<uint8_t>& b = shown[size_t(std::clamp(page, 0, pages - 1))];
        long long squares = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            const int d = int(a[i]) - int(b[i]);
            squares += d * d;
        }
        const double mse = double(squares) / double(a.size());
        sum += mse == 0 ? 100.0 : 10 * std::log10(255.0 * 255.0 / mse);
    }
    return sum / double(reference.indexes.size());
}

// The next frame count to try below `count`: every k-th frame for the smallest k that keeps fewer,
// so kept frames stand for runs of one length and motion stays even; at most `atMost`.
int fewerFrames(int total, int count, int atMost) {
    for (int k = 2; k <= total; ++k) {
        const int kept = (total + k - 1) / k;
        if (kept < count && kept <= atMost)
            return kept;
    }
    return 1;
}

// A count whose best GIF looks this much worse than the best so far ends the search: quality
// rises with the frames kept and then falls, as colours and detail go instead.
constexpr double kWorseDb = 0.5;
// Frame counts tried once one fits, at most; the first takes every frame the caps allow.
constexpr int kCounts = 5;

} // namespace

std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, const GifLimits& caps, Progress* progress,
                                          long long renderedPixels) {
    if (frames.frames.empty() || frames.frames.size() != frames.delaysMs.size() || caps.maxBytes < 1)
        return std::nullopt;
    try {
        GifSearchLimits limits{caps.maxBytes, progress};
        limits.spentBefore = renderedPixels;
        limits.commit();
        const int total = int(frames.frames.size());
        const Reference reference = referenceOf(frames);
        std::optional<EncodedGif> best;
        double bestQuality = -1;
        std::optional<GifSettings> hint;
        PaletteGif::Tables tables;
        int count = caps.maxFrames > 0 ? std::min(total, caps.maxFrames) : total;
        for (int counts = 0; count >= 1; ++counts) {
            // Once one count fits, the search has kCounts slices of the progress bar; before, it
            // halves what is left with every count that does not.
            limits.share = best ? 1.0 / kCounts : (1 - limits.from) / 2;
            std::vector<int> firsts;
            PaletteGif gif(keepEvenly(frames, count, &firsts), tables);
            const long long framePixels = frames.frames.front().width() * (long long)frames.frames.front().height();
            gif.watch([&limits, framePixels] {
                limits.spend(framePixels);
                limits.checkWork();
            });
            GifJudge judge{std::vector<bool>(size_t(gif.count()), false),
                           [&](const std::vector<std::vector<uint8_t>>& shown) { return qualityOf(shown, firsts, reference); }};
            for (const int index : reference.indexes)
                judge.pages[size_t(std::clamp(pageOf(firsts, index), 0, gif.count() - 1))] = true;
            long long smallest = 0;
            std::optional<GifFound> here;
            try {
                here = bestSettingsWithin(gif, judge, limits, &smallest, -1, hint);
            } catch (const GifOverdue&) {
                // Out of work: what fitted so far is the GIF.
                break;
            }
            limits.commit();
            limits.from = std::min(limits.from + limits.share, 1.0);
            tables = gif.tables();
            int next = fewerFrames(total, count, count - 1);
            if (here) {
                if (here->quality > bestQuality) {
                    bestQuality = here->quality;
                    best = EncodedGif{here->bytes, count};
                }
                // Every frame at the best settings cannot be beaten; past the peak, fewer frames
                // only lose more.
                const bool lossless = here->settings.colours == 256 && here->settings.keepWithin == 0;
                if (lossless || here->quality < bestQuality - kWorseDb || limits.late())
                    break;
                hint = here->settings;
            } else if (!best) {
                if (count == 1)
                    break;
                // Nothing fits: the smallest file says about how many frames would.
                const double ratio = double(std::max(smallest, 1LL)) / double(caps.maxBytes);
                next = fewerFrames(total, count, std::max(1, int(count / ratio)));
            }
            if (next >= count || (best && (counts + 1 >= kCounts || limits.late())))
                break;
            count = next;
        }
        if (progress)
            progress->report(1);
        return best;
    } catch (const GifCancelled&) {
    } catch (const vips::VError&) {
        vips_error_clear();
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace cropling
