#include "EmojiFrames.h"

#include "core/Animation.h"

#include <algorithm>

namespace cropling {

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

} // namespace cropling
