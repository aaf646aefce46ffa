#include "Animation.h"

#include <algorithm>

namespace cropling {

int shownDelay(int delayMs) { return delayMs <= 10 ? 100 : delayMs; }

long long animationDuration(const std::vector<int>& delaysMs) {
    long long total = 0;
    for (const int delay : delaysMs)
        total += shownDelay(delay);
    return total;
}

int squaresWithin(int side) {
    return side > 0 ? int(std::clamp<long long>(kMaxSquareBytes / (4LL * side * side), 1, kMaxFrames)) : kMaxFrames;
}

FrameRuns framesToRender(const std::vector<int>& delaysMs, int maxFrames, int side) {
    const int total = int(delaysMs.size());
    FrameRuns runs;
    const int fitting = squaresWithin(side);
    const int group = std::max({1, maxFrames > 0 ? total / (2 * maxFrames) : 1, (total + fitting - 1) / fitting});
    if (group == 1) {
        runs.delaysMs = delaysMs;
        for (int i = 0; i < total; ++i)
            runs.shown.push_back(i);
        return runs;
    }
    for (int from = 0; from < total; from += group) {
        const int to = std::min(total, from + group);
        int delay = 0;
        for (int i = from; i < to; ++i)
            delay += shownDelay(delaysMs[size_t(i)]);
        runs.shown.push_back(from + (to - from - 1) / 2);
        runs.delaysMs.push_back(delay);
    }
    return runs;
}

} // namespace cropling
