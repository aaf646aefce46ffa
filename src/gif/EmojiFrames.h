#pragma once

// The rendered frames an animated GIF is made of, and which of them a GIF of fewer frames keeps.

#include <vips/vips8>

#include <memory>
#include <vector>

namespace cropling {

// Rendered frames of one size, RGBA, with how long each shows and how often they play.
struct EmojiFrames {
    std::shared_ptr<void> memory; // what the frames' pixels lie in, when they share one buffer
    std::vector<vips::VImage> frames;
    std::vector<int> delaysMs;
    int loop = 0; // 0: for ever
};

// The frames spread evenly over `count` of them (all when there are no more): each kept frame is
// the middle one of the run it stands for and shows as long as the whole run, so the animation
// lasts as long as before. `firsts`, when asked, gets the index where each run starts.
EmojiFrames keepEvenly(const EmojiFrames& all, int count, std::vector<int>* firsts = nullptr);

} // namespace cropling
