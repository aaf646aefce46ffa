#pragma once

// One pool of memory shared by every decoding helper the program runs at once: a window's first
// look, working picture, clip thumbnails and span, an export, every picture of a batch. Each helper
// is admitted with a share of it, which it then cannot exceed (the kernel's data limit), and gives
// it back when it ends. However many pictures and however hostile, the helpers together never hold
// more than the pool; work beyond it waits for a share rather than failing.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace cropling {

namespace helperMemory {
// The helpers' private memory together. With the program's own (some 250 MB at most, a window on
// a 100-megapixel photo) and the libraries' pages, the whole tree stays within 1 GiB.
inline constexpr std::int64_t kPoolBytes = 768LL << 20;
// What any one helper may have: all a decode ever needed while helpers were bounded one by one
// (their 1 GiB address limit, 365 MB of it the libraries' mappings).
inline constexpr std::int64_t kWholeShareBytes = 640LL << 20;
// What a helper's start alone takes (libraries' data, FFmpeg's and libvips' tables), with room
// for a small picture: less is never handed out.
inline constexpr std::int64_t kLeastShareBytes = 128LL << 20;
// What each helper asks for first: the most its kind was measured to need for a 4K clip at
// 1024 pixels (290 MB) or a 24-megapixel HEIC (265 MB), and for the direct helper a 100-megapixel
// JPEG at 1024 (141 MB). A helper that runs out with less than the whole share is asked again
// with it.
inline constexpr std::int64_t kDecoderAskBytes = 384LL << 20;
inline constexpr std::int64_t kDirectAskBytes = 192LL << 20;
// Each of a helper's threads reserves this much stack, within its share (the data limit counts a
// thread's stack as it counts the heap): a quarter of the C library's default, and still twice
// what libvips asks for its threads where the default is smaller.
inline constexpr std::int64_t kThreadStackBytes = 2LL << 20;
// The variable that hands a helper its limit, in bytes.
inline constexpr char kVariable[] = "CROPLING_HELPER_MEMORY";
} // namespace helperMemory

class MemoryBudget {
public:
    explicit MemoryBudget(std::int64_t poolBytes, std::int64_t leastBytes = helperMemory::kLeastShareBytes)
        : pool_(poolBytes), least_(leastBytes) {}

    // Waits until a share can be had, then takes it: as much of `ask` as is free, and at least the
    // least share (all of `ask` when `whole`; while one waits for that, shares asked later wait
    // behind it). Ends early with 0 once `cancelled` holds: whoever sets it calls wake().
    std::int64_t admit(std::int64_t ask, bool whole, const std::atomic<bool>& cancelled);
    void release(std::int64_t bytes);
    void wake();

    // A pool of another size from now on (tests); shares already out are kept.
    void resize(std::int64_t poolBytes);
    std::int64_t inUse() const;
    int waiting() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    std::int64_t pool_;
    std::int64_t least_;
    std::int64_t inUse_ = 0;
    int waiting_ = 0;
    int wholeWaiting_ = 0;
};

} // namespace cropling
