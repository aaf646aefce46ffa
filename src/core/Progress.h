#pragma once

// How far a long piece of work has come, and whether it is still wanted: written by the thread
// that does the work, read and cancelled from any other. Only atomics, so a view can poll it on a
// timer without a lock or a queued signal per step.

#include <algorithm>
#include <atomic>

namespace cropling {

class Progress {
public:
    // A fraction of the whole from 0 to 1; progress never goes back.
    void report(double fraction) {
        const int permille = int(std::clamp(fraction, 0.0, 1.0) * 1000);
        int seen = permille_.load();
        while (permille > seen && !permille_.compare_exchange_weak(seen, permille)) {
        }
    }
    double fraction() const { return permille_.load() / 1000.0; }
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_.load(); }

private:
    std::atomic<int> permille_{0};
    std::atomic<bool> cancelled_{false};
};

} // namespace cropling
