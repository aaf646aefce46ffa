#pragma once

// The best GIF settings for one set of kept frames within a byte budget, and what the search must
// keep to. Used by GifEncoder only.

#include "core/Progress.h"
#include "gif/PaletteGif.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace cropling {

// One encode's losses: fewer colours, dithering, and changes left to the frame before.
struct GifSettings {
    int colours = 256;
    float dither = 0;
    int keepWithin = 0;
};

// Thrown from a search whose progress was cancelled; nothing it made is kept.
struct GifCancelled {};
// Thrown from a map or an encode stopped halfway because the search ran out of time.
struct GifOverdue {};

// What a search must keep to: the budget, how long it may refine, and whom it tells how far it is,
// within the share [from, from + share) of the whole export.
//
// The search's work is counted, not timed: the pixels of the frames it maps to a table or encodes.
// The same export then always ends the same way, however busy the machine, and its time is
// bounded all the same, since a pixel mapped or encoded costs about the same every time.
struct GifSearchLimits {
    long long maxBytes;
    Progress* progress = nullptr;
    double from = 0, share = 1;
    long long spentBefore = 0; // pixels the export rendered before the search began
    mutable std::atomic<long long> work = 0;
    // The work as it stood at the last commit(): what every decision reads. Branches searched at
    // once both add to `work`, in whatever order the cores take; committed only between them, it
    // is the same on every run.
    mutable long long committed = 0;
    // Counts the pixels of one frame mapped or encoded.
    void spend(long long pixels) const { work += pixels; }
    // Called where no branch runs: decisions from here on see the work done so far.
    void commit() const { committed = work; }
    // Refining stops: what is found so far is enough. The export's rendering counts, but the
    // search always has a little of its own, so an export that was slow to render still gets one.
    bool late() const;
    bool overdue() const; // maps and encodes are stopped where they are
    void check() const;   // throws GifCancelled when the export is no longer wanted
    void checkWork() const; // check(), and throws GifOverdue when overdue
    void reached(double part) const;
};

// How a GIF's frames look against the frames they stand for: higher is better. Only the frames
// marked in `pages` are looked at (the others may be left empty).
struct GifJudge {
    std::vector<bool> pages;
    std::function<double(const std::vector<std::vector<uint8_t>>& shownOnGrey)> quality;
};

struct GifFound {
    QByteArray bytes;
    GifSettings settings;
    double quality = 0;
};

// The best-looking settings whose file fits, or nothing when not even the smallest does, and then
// `smallestSize` says how large that one was. `better` is the quality to beat: settings that cannot
// reach it are not searched. `hint`: what fitted the same animation with more frames, tried first.
std::optional<GifFound> bestSettingsWithin(const PaletteGif& gif, const GifJudge& judge, const GifSearchLimits& limits,
                                           long long* smallestSize, double better = -1,
                                           std::optional<GifSettings> hint = std::nullopt);

} // namespace cropling
