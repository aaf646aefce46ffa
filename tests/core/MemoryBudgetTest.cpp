#include "core/MemoryBudget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace cropling;

namespace {

constexpr std::int64_t kMB = 1 << 20;

// Waits, without a fixed sleep, until `count` admissions are waiting.
void untilWaiting(const MemoryBudget& budget, int count) {
    while (budget.waiting() != count)
        std::this_thread::yield();
}

} // namespace

TEST(MemoryBudget, SharesComeFromWhatIsFreeAndWaitWhenTooLittleIs) {
    MemoryBudget budget(768 * kMB, 128 * kMB);
    const std::atomic<bool> never = false;
    // As much of the ask as is free, never less than the least share.
    EXPECT_EQ(budget.admit(384 * kMB, false, never), 384 * kMB);
    EXPECT_EQ(budget.admit(384 * kMB, false, never), 384 * kMB);
    EXPECT_EQ(budget.inUse(), 768 * kMB);
    auto third = std::async(std::launch::async, [&] { return budget.admit(384 * kMB, false, never); });
    untilWaiting(budget, 1);
    budget.release(200 * kMB);
    // 200 MB came free: the waiting one takes all of it rather than wait for its whole ask.
    EXPECT_EQ(third.get(), 200 * kMB);
    // A whole share waits for all of it, though the least is free.
    budget.release(384 * kMB);
    auto whole = std::async(std::launch::async, [&] { return budget.admit(640 * kMB, true, never); });
    untilWaiting(budget, 1);
    EXPECT_EQ(budget.inUse(), 384 * kMB);
    budget.release(384 * kMB);
    EXPECT_EQ(whole.get(), 640 * kMB);
    // Nothing asks for more than the pool and waits for ever.
    budget.release(640 * kMB);
    EXPECT_EQ(budget.admit(2048 * kMB, true, never), 768 * kMB);
}

TEST(MemoryBudget, ACancelledAdmissionStopsWaitingAndTakesNothing) {
    MemoryBudget budget(256 * kMB, 128 * kMB);
    const std::atomic<bool> never = false;
    ASSERT_EQ(budget.admit(256 * kMB, false, never), 256 * kMB);
    std::atomic<bool> cancelled = false;
    auto waiting = std::async(std::launch::async, [&] { return budget.admit(128 * kMB, false, cancelled); });
    untilWaiting(budget, 1);
    cancelled = true;
    budget.wake();
    EXPECT_EQ(waiting.get(), 0);
    EXPECT_EQ(budget.inUse(), 256 * kMB);
}

TEST(MemoryBudget, ManyAdmittedAtOnceNeverHoldMoreThanThePool) {
    MemoryBudget budget(1000 * kMB, 100 * kMB);
    const std::atomic<bool> never = false;
    std::atomic<std::int64_t> held = 0, most = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w) {
        workers.emplace_back([&, w] {
            for (int round = 0; round < 300; ++round) {
                const std::int64_t share = budget.admit((100 + 70 * ((w + round) % 7)) * kMB, round % 5 == 0, never);
                const std::int64_t now = held += share;
                std::int64_t seen = most;
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                held -= share;
                budget.release(share);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_LE(most.load(), 1000 * kMB);
    EXPECT_GT(most.load(), 300 * kMB); // they did run side by side
    EXPECT_EQ(budget.inUse(), 0);
}
