#include "core/MemoryBudget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace cropling;

namespace {

constexpr std::int64_t kMB = 1 << 20;

// Waits, without a fixed sleep, until `count` admissions are waiting; false after 5 s.
bool untilWaiting(const MemoryBudget& budget, int count) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (budget.waiting() != count) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
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
    ASSERT_TRUE(untilWaiting(budget, 1));
    budget.release(200 * kMB);
    // 200 MB came free: the waiting one takes all of it rather than wait for its whole ask.
    EXPECT_EQ(third.get(), 200 * kMB);
    // A whole share waits for all of it, though the least is free.
    budget.release(384 * kMB);
    auto whole = std::async(std::launch::async, [&] { return budget.admit(640 * kMB, true, never); });
    ASSERT_TRUE(untilWaiting(budget, 1));
    EXPECT_EQ(budget.inUse(), 384 * kMB);
    budget.release(384 * kMB);
    EXPECT_EQ(whole.get(), 640 * kMB);
    // Nothing asks for more than the pool and waits for ever.
    budget.release(640 * kMB);
    EXPECT_EQ(budget.admit(2048 * kMB, true, never), 768 * kMB);
}

TEST(MemoryBudget, AWholeShareWaitingGoesBeforeSharesAskedAfterIt) {
    MemoryBudget budget(768 * kMB, 128 * kMB);
    const std::atomic<bool> never = false;
    const std::int64_t first = budget.admit(384 * kMB, false, never);
    const std::int64_t second = budget.admit(256 * kMB, false, never);
    auto whole = std::async(std::launch::async, [&] { return budget.admit(640 * kMB, true, never); });
    ASSERT_TRUE(untilWaiting(budget, 1));
    // 128 MB are free, enough for a least share, but it waits behind the whole one...
    auto later = std::async(std::launch::async, [&] { return budget.admit(128 * kMB, false, never); });
    EXPECT_TRUE(untilWaiting(budget, 2));
    EXPECT_EQ(budget.inUse(), 640 * kMB);
    budget.release(first);
    budget.release(second);
    // ...which is admitted first; the later one then waits for what is left to come free.
    EXPECT_EQ(whole.get(), 640 * kMB);
    EXPECT_EQ(later.get(), 128 * kMB);
    EXPECT_EQ(budget.inUse(), 768 * kMB);
}

TEST(MemoryBudget, ACancelledAdmissionStopsWaitingAndTakesNothing) {
    MemoryBudget budget(256 * kMB, 128 * kMB);
    const std::atomic<bool> never = false;
    ASSERT_EQ(budget.admit(256 * kMB, false, never), 256 * kMB);
    std::atomic<bool> cancelled = false;
    auto waiting = std::async(std::launch::async, [&] { return budget.admit(128 * kMB, false, cancelled); });
    ASSERT_TRUE(untilWaiting(budget, 1));
    cancelled = true;
    budget.wake();
    EXPECT_EQ(waiting.get(), 0);
    EXPECT_EQ(budget.inUse(), 256 * kMB);
}

TEST(MemoryBudget, ManyAdmittedAtOnceNeverHoldMoreThanThePool) {
    MemoryBudget budget(1000 * kMB, 100 * kMB);
    const std::atomic<bool> never = false;
    std::atomic<std::int64_t> held = 0, most = 0;
    std::atomic<int> holders = 0, mostHolders = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w) {
        workers.emplace_back([&, w] {
            for (int round = 0; round < 300; ++round) {
                const std::int64_t share = budget.admit((100 + 70 * ((w + round) % 7)) * kMB, round % 5 == 0, never);
                const std::int64_t now = held += share;
                std::int64_t seen = most;
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                const int together = ++holders;
                int seenHolders = mostHolders;
                while (together > seenHolders && !mostHolders.compare_exchange_weak(seenHolders, together)) {
                }
                std::this_thread::yield();
                --holders;
                held -= share;
                budget.release(share);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_LE(most.load(), 1000 * kMB);
    EXPECT_GE(mostHolders.load(), 2); // they did hold shares side by side
    EXPECT_EQ(budget.inUse(), 0);
}
