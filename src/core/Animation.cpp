#include "Animation.h"

namespace cropling {

int shownDelay(int delayMs) { return delayMs <= 10 ? 100 : delayMs; }

long long animationDuration(const std::vector<int>& delaysMs) {
    long long total = 0;
    for (const int delay : delaysMs)
        total += shownDelay(delay);
    return total;
}

} // namespace cropling
