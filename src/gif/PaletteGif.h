#pragma once

// Animated GIF frames that share one colour table, encoded at any loss. Used by GifEncoder only.
//
// One table for every frame is what lets a pixel that barely changed be left to the frame before
// (with a table per frame the same colour has a different index in each), and at emoji size it
// costs less than the tables themselves: on photographic clips it reached 3 to 4 dB more than
// libvips' writer, with a table per frame, at the same size. The table is found once per frame
// count and colour count, and the frames mapped to it once per dithering; each encode after that
// only decides which pixels to draw again and packs them, a few milliseconds for 50 frames.

#include "gif/EmojiFrames.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace cropling {

// The kept frames mapped to one table: indexes per frame, the table, and its transparent index.
struct MappedFrames {
    std::vector<std::vector<uint8_t>> indexes;
    std::vector<uint8_t> table; // RGB, transparent entry included
    int transparent = 0;
};

class PaletteGif {
public:
    // Colour tables by their number of entries, found from the frames.
    using Tables = std::map<int, std::vector<uint8_t>>;

    // The frames as GIF shows them: RGB with pixels under half opacity transparent. `tables`:
    // those found for other frames of the same animation, which serve these as well.
    explicit PaletteGif(const EmojiFrames& kept, Tables tables = {});
    ~PaletteGif();
    PaletteGif(const PaletteGif&) = delete;
    PaletteGif& operator=(const PaletteGif&) = delete;

    int count() const { return int(frames_.size()); }
    // Called before each frame is mapped or encoded, from any thread: it may throw to stop them.
    void watch(std::function<void()> checkpoint) { checkpoint_ = std::move(checkpoint); }
    Tables tables() const;
    // Whether a pixel turns transparent in a later frame: each frame then replaces the one before
    // entirely, since GIF cannot clear a pixel and keep its neighbours.
    bool alphaChanges() const { return alphaChanges_; }

    // The frames mapped to a table of at most `colours` entries (3 to 256, transparency among
    // them).
    MappedFrames map(int colours, float dither) const;

    // The GIF of the mapped frames, leaving to the frame before every pixel whose shown colour is
    // within `keepWithin` of the frame's own in each channel. `shownOnGrey`, when given, gets each
    // frame as a viewer shows it over mid grey, RGB, to judge how it looks: those marked in
    // `pages` when given, the others left empty.
    QByteArray encode(const MappedFrames& mapped, int keepWithin, std::vector<std::vector<uint8_t>>* shownOnGrey = nullptr,
                      const std::vector<bool>* pages = nullptr) const;

private:
    struct Quantizer;
    // The opaque colours of a table of `colours` entries, found once for each count.
    std::vector<uint8_t> table(int colours) const;
    static constexpr size_t kTableFrames = 12;
    int side_ = 0;
    int loop_ = 0;
    std::vector<int> delaysMs_;
    // RGBA in memory, straight alpha; a pixel under half opacity is transparent.
    std::vector<vips::VImage> frames_;
    const uint8_t* pixelsOf(size_t frame) const;
    static bool opaque(const uint8_t* rgba, size_t pixel) { return rgba[4 * pixel + 3] >= 128; }
    bool alphaChanges_ = false;
    std::function<void()> checkpoint_;
    mutable std::mutex tablesBusy_;
    mutable Tables tables_;
};

} // namespace cropling
