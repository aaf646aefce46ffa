#include "GifEncoder.h"

#include "core/Animation.h"
#include "image/GifSettings.h"

#include <algorithm>
#include <cmath>

namespace cropling {

using vips::VImage;

EmojiFrames keepEvenly(const EmojiFrames& all, int count, std::vector<int>* firsts) {
    const int total = int(all.frames.size());
    count = std::clamp(count, 1, std::max(total, 1));
    EmojiFrames kept;
    kept.memory = all.memory;
    kept.loop = all.loop;
    for (int j = 0; j < count && total > 0; ++j) {
        const int from = int((long long)j * total / count), to = int((long long)(j + 1) * total / count);
        int delay = 0;
        for (int i = from; i < to; ++i)
            delay += shownDelay(all.delaysMs[size_t(i)]);
        // The run's middle frame stands for it: no shown frame is more than half a run away from
        // the one it replaces, where the first would lag the motion by a whole run.
        kept.frames.push_back(all.frames[size_t(from + (to - from - 1) / 2)]);
        kept.delaysMs.push_back(count == total ? all.delaysMs[size_t(from)] : delay);
        if (firsts)
            firsts->push_back(from);
    }
    return kept;
}

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
double qualityOf(const QByteArray& gif, const std::vector<int>& firsts, const Reference& reference) {
    const VImage all =
        VImage::new_from_buffer(gif.constData(), size_t(gif.size()), "", VImage::option()->set("n", -1)).copy_memory();
    const int side = all.width();
    const int pages = all.height() / side;
    std::vector<std::vector<unsigned char>> shown;
    for (int p = 0; p < pages; ++p)
        shown.push_back(onGrey(all.crop(0, p * side, side, side)));
    double sum = 0;
    for (size_t k = 0; k < reference.indexes.size(); ++k) {
        const int page = int(std::upper_bound(firsts.begin(), firsts.end(), reference.indexes[k]) - firsts.begin()) - 1;
        const std::vector<unsigned char>& a = reference.pixels[k];
        const std::vector<unsigned char>& b = shown[size_t(std::clamp(page, 0, pages - 1))];
        double squares = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            const double d = double(a[i]) - double(b[i]);
            squares += d * d;
        }
        const double mse = squares / double(a.size());
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

// More frames than this make every encode take seconds.
constexpr int kLongClip = 80;

// A count whose best GIF looks this much worse than the best so far ends the search: quality
// rises with the frames kept and then falls, as colours and detail go instead.
constexpr double kWorseDb = 0.5;
// Frame counts tried once one fits, at most; the first takes every frame the caps allow.
constexpr int kCounts = 5;

struct Candidate {
    QByteArray bytes;
    int step = 0;
    double quality = 0;
};

// Frames encoded at the smallest setting when the search ran out of time before any file fitted:
// a few dozen at most (`likely`, when the files tried say about how many would fit), which is
// quick, a quarter fewer each time until they fit.
constexpr int kLastResortFrames = 40;

std::optional<EncodedGif> lastResort(const EmojiFrames& frames, const GifLimits& caps, int likely) {
    int count = std::min({int(frames.frames.size()), kLastResortFrames, std::max(likely, 1)});
    if (caps.maxFrames > 0)
        count = std::min(count, caps.maxFrames);
    const GifSettings smallest = gifLadder(0.0).back();
    for (;;) {
        const GifStrip strip(keepEvenly(frames, count), 4);
        QByteArray bytes = strip.encode(smallest);
        if (fitsIn(bytes, caps.maxBytes))
            return EncodedGif{std::move(bytes), count};
        if (count == 1)
            return std::nullopt;
        count = count * 3 / 4;
    }
}

} // namespace

std::optional<EncodedGif> encodeGifWithin(const EmojiFrames& frames, const GifLimits& caps, Progress* progress, qint64 spentMs) {
    if (frames.frames.empty() || frames.frames.size() != frames.delaysMs.size() || caps.maxBytes < 1)
        return std::nullopt;
    // Dithering hides banding in smooth gradients but adds noise that fine texture and flat
    // colours are better without, and costs bytes: which wins is judged once, on the first frame
    // count that fits, and kept.
    const std::vector<GifSettings> ladders[] = {gifLadder(0.0), gifLadder(1.0)};
    std::vector<const std::vector<GifSettings>*> ladderTried = {&ladders[0], &ladders[1]};
    try {
        GifSearchLimits limits{caps.maxBytes, {}, progress};
        limits.spentBefore = spentMs;
        limits.clock.start();
        const int total = int(frames.frames.size());
        const Reference reference = referenceOf(frames);
        std::optional<EncodedGif> best;
        double bestQuality = -1;
        int likelyFits = -1;
        int likely = kLastResortFrames; // frames that would fit, as the files tried say
        int count = caps.maxFrames > 0 ? std::min(total, caps.maxFrames) : total;
        for (int counts = 0; count >= 1; ++counts) {
            // Once one count fits, the search has kCounts slices of the progress bar; before, it
            // halves what is left with every count that does not.
            limits.share = (best ? 1.0 / kCounts : (1 - limits.from) / 2) / double(ladderTried.size());
            std::vector<int> firsts;
            const EmojiFrames kept = keepEvenly(frames, count, &firsts);
            GifStrip strip(kept, 4);
            strip.watch(&limits);
            long long smallest = 0;
            std::optional<Candidate> here;
            const std::vector<GifSettings>* winner = nullptr;
            bool overdue = false;
            for (const std::vector<GifSettings>* steps : ladderTried) {
                // Every frame without dithering at full quality is as good as a GIF gets: dithering
                // only adds noise then. A long clip, whose every encode takes seconds, is not
                // dithered: without it won on every clip measured. Past the time, what is found so
                // far is enough.
                if (here && (here->step == 0 || count > kLongClip || limits.late()))
                    break;
                std::optional<GifFound> found;
                try {
                    found = bestSettingsWithin(kept, strip, *steps, limits, &smallest, likelyFits);
                } catch (const GifOverdue&) {
                    overdue = true;
                    break;
                }
                limits.from = std::min(limits.from + limits.share, 1.0);
                limits.reached(0);
                if (!found)
                    continue;
                const double quality = qualityOf(found->bytes, firsts, reference);
                if (!here || quality > here->quality) {
                    here = Candidate{found->bytes, found->step, quality};
                    winner = steps;
                }
            }
            if (overdue && !here)
                break;
            int next = fewerFrames(total, count, count - 1);
            if (here) {
                ladderTried = {winner};
                if (here->quality > bestQuality) {
                    bestQuality = here->quality;
                    best = EncodedGif{here->bytes, count};
                }
                // Every frame at the best settings cannot be beaten; past the peak, fewer frames
                // only lose more.
                if (here->step == 0 || here->quality < bestQuality - kWorseDb || limits.late() || overdue)
                    break;
                likelyFits = here->step;
            } else if (!best) {
                if (count == 1)
                    break;
                // Nothing fits: the smallest file says about how many frames would.
                const double ratio = double(smallest) / double(caps.maxBytes);
                next = fewerFrames(total, count, std::max(1, int(count / ratio)));
                likely = next;
                if (limits.late())
                    break;
            }
            if (next >= count || (best && (counts + 1 >= kCounts || limits.late())))
                break;
            count = next;
        }
        if (!best && (limits.late() || limits.overdue()))
            best = lastResort(frames, caps, likely);
        if (progress)
            progress->report(1);
        return best;
    } catch (const GifCancelled&) {
    } catch (const vips::VError&) {
        vips_error_clear();
    }
    return std::nullopt;
}

} // namespace cropling
