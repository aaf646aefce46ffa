#include "TemporaryFiles.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace cropling {

namespace {

// A fixed table, so that the signal handler reads it without allocating or locking: a slot is
// filled under the mutex and only then marked used.
constexpr int kSlots = 64;
constexpr size_t kPathBytes = 4096;
struct Slot {
    std::atomic<bool> used{false};
    char path[kPathBytes];
};
Slot slots[kSlots];
std::mutex slotsMutex;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

void removeAndEnd(int signal) {
    for (Slot& slot : slots) {
        if (slot.used.load())
            ::unlink(slot.path);
    }
    // Then the signal does what it did before: usually ending the program.
    for (int i = 0; i < 3; ++i) {
        if (kSignals[i] == signal)
            ::sigaction(signal, &previous[i], nullptr);
    }
    ::raise(signal);
}

void installOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i < 3; ++i) {
            struct sigaction action {};
            action.sa_handler = removeAndEnd;
            sigemptyset(&action.sa_mask);
            // A program that handles the signal itself (the window quits cleanly) keeps its handler.
            if (::sigaction(kSignals[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler == SIG_DFL)
                ::sigaction(kSignals[i], &action, nullptr);
        }
    });
}

} // namespace

bool rememberTemporary(const QByteArray& path) {
    if (size_t(path.size()) >= kPathBytes)
        return false;
    installOnce();
    std::lock_guard lock(slotsMutex);
    for (Slot& slot : slots) {
        if (!slot.used.load()) {
            std::memcpy(slot.path, path.constData(), size_t(path.size()) + 1);
            slot.used.store(true);
            return true;
        }
    }
    return false;
}

void forgetTemporary(const QByteArray& path) {
    std::lock_guard lock(slotsMutex);
    for (Slot& slot : slots) {
        if (slot.used.load() && path == slot.path) {
            slot.used.store(false);
            return;
        }
    }
}

} // namespace cropling
