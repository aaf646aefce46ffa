#include "MemoryBudget.h"

#include <algorithm>

namespace cropling {

std::int64_t MemoryBudget::admit(std::int64_t ask, bool whole, const std::atomic<bool>& cancelled) {
    std::unique_lock lock(mutex_);
    // A share never exceeds the pool, or a whole one could wait for ever.
    const std::int64_t least = std::min(whole ? ask : std::min(ask, least_), pool_);
    ++waiting_;
    wholeWaiting_ += whole;
    // While a whole share waits for the others to end, no new share is handed out: it would wait
    // for ever behind a stream of smaller ones.
    freed_.wait(lock, [&] { return cancelled || (pool_ - inUse_ >= least && (whole || wholeWaiting_ == 0)); });
    --waiting_;
    wholeWaiting_ -= whole;
    if (whole)
        freed_.notify_all();
    if (cancelled)
        return 0;
    const std::int64_t share = std::max(least, std::min(ask, pool_ - inUse_));
    inUse_ += share;
    return share;
}

void MemoryBudget::release(std::int64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        inUse_ -= bytes;
    }
    freed_.notify_all();
}

void MemoryBudget::wake() {
    // Taking the lock orders the caller's `cancelled` before a waiter's next look at it.
    { std::lock_guard lock(mutex_); }
    freed_.notify_all();
}

void MemoryBudget::resize(std::int64_t poolBytes) {
    {
        std::lock_guard lock(mutex_);
        pool_ = poolBytes;
    }
    freed_.notify_all();
}

std::int64_t MemoryBudget::inUse() const {
    std::lock_guard lock(mutex_);
    return inUse_;
}

int MemoryBudget::waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}

} // namespace cropling
