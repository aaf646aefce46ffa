#pragma once

// What an animation may be, and how its timing reads: shared by the decoding helper, which refuses
// what is beyond these bounds, and by the program, which checks what the helper sends back.

#include <vector>

namespace cropling {

// An animation is refused from its header, before a frame is decoded, past either of these.
inline constexpr int kMaxFrames = 1000;
inline constexpr int kMaxAnimationMs = 60'000;
// All kept frames together, at the working resolution: frames are reduced as they are decoded until
// they fit.
inline constexpr long long kMaxAnimationBytes = 256LL << 20;
// All the squares one export renders, together: at the largest size, 32 of them. With the frames
// they are made from, an effect's second set of squares and the encoder's own copies, the process
// tree stays under 1 GiB.
inline constexpr long long kMaxSquareBytes = 128LL << 20;
// How many squares of `side` pixels fit in kMaxSquareBytes (at least one).
int squaresWithin(int side);

// How long a frame shows, as browsers and chat clients show it: a delay of 10 ms or less, which
// many GIFs carry to mean "as fast as possible", plays at 100 ms.
int shownDelay(int delayMs);

// The duration of an animation with these delays, each as shownDelay() reads it.
long long animationDuration(const std::vector<int>& delaysMs);

// The frames an export that keeps at most `maxFrames` (0: any number) renders of a long
// animation as squares of `side` pixels (0: any size): of every run of `group` frames, the middle
// one, showing as long as the whole run. A run is as long as leaves twice the frames kept, so the
// export still chooses among twice as many as it keeps, and no more than squaresWithin(side), and
// only they are rendered. Frames of an animation no longer than that stand for themselves.
struct FrameRuns {
    std::vector<int> shown;    // the index of each run's frame
    std::vector<int> delaysMs; // how long each shows
};
FrameRuns framesToRender(const std::vector<int>& delaysMs, int maxFrames, int side = 0);

} // namespace cropling
