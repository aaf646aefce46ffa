#include "GifSettings.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>

namespace cropling {

// Refining stops after this much work: no animation holds an export up for long, whatever its
// size or number of frames. Searches of emoji sizes end far sooner; this bounds large squares and
// pictures nobody measured. A pixel mapped or encoded takes some 10 ns here (bench/animation_bench),
// a rendered pixel of the export's about four times that.
constexpr long long kRefineWork = 600'000'000;
constexpr long long kOverdueWork = 900'000'000;
constexpr long long kOwnWork = 150'000'000;
constexpr long long kRenderWeight = 4;

bool GifSearchLimits::late() const {
    const long long done = committed;
    return done > kOwnWork && kRenderWeight * spentBefore + done > kRefineWork;
}

bool GifSearchLimits::overdue() const {
    const long long done = committed;
    return done > kOwnWork + (kOverdueWork - kRefineWork) && kRenderWeight * spentBefore + done > kOverdueWork;
}

void GifSearchLimits::checkWork() const {
    check();
    if (overdue())
        throw GifOverdue{};
}

void GifSearchLimits::check() const {
    if (progress && progress->cancelled())
        throw GifCancelled{};
}

void GifSearchLimits::reached(double part) const {
    if (progress)
        progress->report(from + share * std::clamp(part, 0.0, 1.0));
}

namespace {

// Colour counts tried, best first; dithering, tried at the best count without it; and how far a
// pixel may be from what is shown before it is drawn again, a visible loss at each step.
constexpr int kColours[] = {256, 128, 64, 32, 16, 8, 4};
constexpr float kDither = 0.75f;
constexpr int kKeeps[] = {0, 2, 4, 6, 8, 12, 16, 24, 32, 48};
constexpr int kLastKeep = int(std::size(kKeeps)) - 1;

struct Branch {
    std::optional<GifFound> found;
    double bound = -1;      // how it looks with nothing left to the frame before, when known
    long long smallest = 0; // its smallest file, when none fits
};

// The best file of one table and dithering: the least left to the frame before that fits. Less
// left never looks worse and never makes a smaller file, so the steps are halved by size alone,
// and only the file found is judged. Nothing is searched when even nothing left cannot beat
// `better`. `startKeep`: where a search of more frames ended, tried first.
Branch searchBranch(const PaletteGif& gif, const GifJudge& judge, const GifSearchLimits& limits, GifSettings settings,
                    double better, int startKeep) {
    Branch branch;
    limits.check();
    const MappedFrames mapped = gif.map(settings.colours, settings.dither);
    std::vector<std::vector<uint8_t>> shown;
    const auto fits = [&](int step) {
        limits.check();
        const qsizetype size = gif.encode(mapped, kKeeps[step]).size();
        if (size > limits.maxBytes)
            branch.smallest = size;
        return size <= limits.maxBytes;
    };
    const bool keepsNothing = gif.count() == 1 || gif.alphaChanges();
    int lo = 1, hi = kLastKeep + 1; // the first step that fits lies in [lo, hi]; hi: none does
    if (startKeep == 0 || keepsNothing) {
        QByteArray bytes = gif.encode(mapped, 0, &shown, &judge.pages);
        branch.bound = judge.quality(shown);
        if (bytes.size() <= limits.maxBytes) {
            settings.keepWithin = 0;
            branch.found = GifFound{std::move(bytes), settings, branch.bound};
            return branch;
        }
        branch.smallest = bytes.size();
        if (branch.bound <= better || keepsNothing)
            return branch;
    } else {
        const int at = std::clamp(int(std::find(std::begin(kKeeps), std::end(kKeeps), startKeep) - std::begin(kKeeps)), 1, kLastKeep);
        if (fits(at))
            hi = at;
        else
            lo = at + 1;
    }
    if (hi > kLastKeep) {
        if (lo > kLastKeep || !fits(kLastKeep))
            return branch;
        hi = kLastKeep;
    }
    while (lo < hi && !limits.late()) {
        const int mid = (lo + hi) / 2;
        if (fits(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    settings.keepWithin = kKeeps[hi];
    QByteArray bytes = gif.encode(mapped, settings.keepWithin, &shown, &judge.pages);
    branch.found = GifFound{std::move(bytes), settings, judge.quality(shown)};
    return branch;
}

} // namespace

std::optional<GifFound> bestSettingsWithin(const PaletteGif& gif, const GifJudge& judge, const GifSearchLimits& limits,
                                           long long* smallestSize, double better, std::optional<GifSettings> hint) {
    std::optional<GifFound> best;
    const auto consider = [&](Branch& branch) {
        if (branch.found && branch.found->quality > better && (!best || branch.found->quality > best->quality)) {
            best = std::move(branch.found);
            better = best->quality;
        }
        if (!branch.found && branch.smallest > 0)
            *smallestSize = *smallestSize > 0 ? std::min(*smallestSize, branch.smallest) : branch.smallest;
    };
    // Branches two at a time, one on each core.
    const auto runPair = [&](const std::vector<std::pair<GifSettings, int>>& pair) {
        std::vector<std::future<Branch>> running;
        for (const auto& [settings, startKeep] : pair)
            running.push_back(std::async(std::launch::async, [&, settings = settings, startKeep = startKeep, better] {
                return searchBranch(gif, judge, limits, settings, better, startKeep);
            }));
        std::vector<Branch> done;
        std::exception_ptr failure;
        for (auto& branch : running) {
            try {
                done.push_back(branch.get());
            } catch (...) {
                failure = std::current_exception();
            }
        }
        if (failure)
            std::rethrow_exception(failure);
        return done;
    };
    if (!hint) {
        // The smallest file first: when even it does not fit, nothing here does, and when time is
        // up it is what there is.
        limits.check();
        const GifSettings last{kColours[std::size(kColours) - 1], 0, kKeeps[kLastKeep]};
        std::vector<std::vector<uint8_t>> shown;
        QByteArray bytes = gif.encode(gif.map(last.colours, last.dither), last.keepWithin, &shown, &judge.pages);
        if (bytes.size() > limits.maxBytes) {
            *smallestSize = bytes.size();
            return std::nullopt;
        }
        Branch smallest{GifFound{std::move(bytes), last, judge.quality(shown)}};
        consider(smallest);
        limits.commit();
    }
    // The colour counts to try: all, best first; after a search of more frames, the count it
    // found and its neighbours, which is where fewer frames find theirs.
    std::vector<std::pair<GifSettings, int>> order;
    const int counts = int(std::size(kColours));
    const int from = hint ? int(std::find(std::begin(kColours), std::end(kColours), hint->colours) - std::begin(kColours)) : 0;
    if (hint) {
        order.push_back({GifSettings{hint->colours, 0, 0}, hint->keepWithin});
        if (from > 0)
            order.push_back({GifSettings{kColours[from - 1], 0, 0}, hint->keepWithin});
        if (from + 1 < counts)
            order.push_back({GifSettings{kColours[from + 1], 0, 0}, hint->keepWithin});
    } else {
        for (const int colours : kColours)
            order.push_back({GifSettings{colours, 0, 0}, 0});
    }
    double peak = -1;
    for (size_t i = 0; i < order.size() && !limits.late(); i += 2) {
        limits.reached(double(i) / double(order.size() + 1));
        std::vector<std::pair<GifSettings, int>> pair(order.begin() + long(i), order.begin() + long(std::min(i + 2, order.size())));
        double pairBest = -1, bound = -1;
        std::vector<Branch> branches = runPair(pair);
        limits.commit();
        for (Branch& branch : branches) {
            pairBest = std::max(pairBest, branch.found ? branch.found->quality : -1.0);
            bound = std::max(bound, branch.bound);
            consider(branch);
        }
        // Quality rises as colours go and changes left to the frame before go with them, then
        // falls: past the peak, or when even nothing left cannot beat what fits, the search is done.
        if (!hint && ((peak >= 0 && pairBest < peak) || (best && bound >= 0 && bound <= best->quality)))
            break;
        peak = std::max(peak, pairBest);
    }
    // Dithering at the best count: it hides banding where few colours cover smooth gradients.
    if (best && !limits.late() && gif.count() > 0) {
        const GifSettings dithered{best->settings.colours, kDither, 0};
        Branch branch = searchBranch(gif, judge, limits, dithered, better, best->settings.keepWithin);
        limits.commit();
        consider(branch);
    }
    limits.reached(1);
    return best;
}

} // namespace cropling
