#include "RefusedMemory.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

// Every allocation of the helper and of the libraries it loads goes through these: an executable's
// definitions come before the C library's. Each passes the request on to the C library's own
// allocator unchanged and notes a refusal; free() and the rest stay the C library's.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> refused = false;

void* noted(void* block, bool asked) {
    if (!block && asked)
        refused.store(true, std::memory_order_relaxed);
    return block;
}

bool validAlignment(size_t alignment) { return alignment >= sizeof(void*) && (alignment & (alignment - 1)) == 0; }

} // namespace

extern "C" {

void* malloc(size_t size) { return noted(__libc_malloc(size), true); }

void* calloc(size_t count, size_t size) { return noted(__libc_calloc(count, size), count != 0 && size != 0); }

void* realloc(void* block, size_t size) { return noted(__libc_realloc(block, size), size != 0); }

void* memalign(size_t alignment, size_t size) { return noted(__libc_memalign(alignment, size), true); }

void* aligned_alloc(size_t alignment, size_t size) { return noted(__libc_memalign(alignment, size), true); }

int posix_memalign(void** out, size_t alignment, size_t size) {
    if (!validAlignment(alignment))
        return EINVAL;
    void* block = noted(__libc_memalign(alignment, size), true);
    if (!block)
        return ENOMEM;
    *out = block;
    return 0;
}

} // extern "C"

namespace cropling::sandbox {

bool takeRefusedMemory() { return refused.exchange(false, std::memory_order_relaxed); }

bool refusedMemory() { return refused.load(std::memory_order_relaxed); }

} // namespace cropling::sandbox
