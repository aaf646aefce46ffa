#pragma once

// The best GIF settings for one set of frames within a byte budget: the ladder from the best GIF
// to the smallest, and the search along it. Used by GifEncoder only.

#include "core/Progress.h"
#include "image/GifEncoder.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <optional>
#include <vector>

namespace cropling {

// One point on the way from the best GIF to the smallest, each a visible loss beyond the one before.
struct GifSettings {
    double interframeError = 0; // a pixel that changed less than this stays the previous frame's
    bool reusePalette = false;
    double interpaletteError = 3; // how far a shared palette may be from a frame's own
    int bitdepth = 8;             // 2^bitdepth colours at most
    double dither = 1.0;
};

// The steps from the best GIF to the smallest, all at the given dithering (less of it at the end).
std::vector<GifSettings> gifLadder(double dither);

// Thrown from a search whose progress was cancelled; nothing it made is kept.
struct GifCancelled {};
// Thrown from an encode stopped halfway because the search ran out of time.
struct GifOverdue {};

// What a search must keep to: the budget, how long it may refine (past the time it takes the best
// file that fits so far, or goes straight to the smallest setting), and whom it tells how far it
// is, within the share [from, from + share) of the whole export.
struct GifSearchLimits {
    long long maxBytes;
    QElapsedTimer clock;
    Progress* progress = nullptr;
    double from = 0, share = 1;
    qint64 spentBefore = 0; // by the export before the search began
    bool late() const;    // refining stops: what is found so far is enough
    bool overdue() const; // encodes are stopped where they are
    void check() const; // throws GifCancelled when the export is no longer wanted
    void reached(double part) const;
};

// The frames as one strip in memory, encoded with any settings.
class GifStrip {
public:
    GifStrip(const EmojiFrames& frames, int effort);
    // Each encode from now on stops, with GifOverdue or GifCancelled, within a frame or so of the
    // search running out of time or being cancelled.
    void watch(const GifSearchLimits* limits) { watched_ = limits; }
    QByteArray encode(const GifSettings& s) const;
    int count() const { return count_; }

private:
    QByteArray encodeWatched(const vips::VImage& strip, const GifSettings& s) const;
    vips::VImage strip_;
    int side_;
    int count_;
    int effort_;
    // Whether a pixel turns transparent in a later frame: such frames need a palette of their own
    // with the transparent colour in it, which a palette shared with an opaque frame lacks.
    bool alphaChanges_ = false;
    const GifSearchLimits* watched_ = nullptr;
};

inline bool fitsIn(const QByteArray& gif, long long maxBytes) { return gif.size() <= maxBytes; }

struct GifFound {
    QByteArray bytes;
    int step = 0;
};

// The best step of `steps` whose file fits, or nothing when not even the smallest does, and then
// `smallestSize` says how large that one was. `likelyFits` is a step that fitted more frames of the
// same animation: fewer frames fit it too, nearly always, and the search starts from there.
std::optional<GifFound> bestSettingsWithin(const EmojiFrames& frames, const GifStrip& strip,
                                           const std::vector<GifSettings>& steps, const GifSearchLimits& limits,
                                           long long* smallestSize, int likelyFits = -1);

} // namespace cropling
