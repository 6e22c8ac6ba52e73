#include "status/ManualResetEvent.h"

namespace pw {

void ManualResetEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

void ManualResetEvent::Wait() {
    // Hand-shakes are answered within microseconds while both threads run;
    // a short spin saves two sleeps and wake-ups per hand-shake. It stays
    // short so that on two cores it never takes the time the answering
    // thread needs.
    for (int turn = 0; turn < 1000; ++turn) {
        if (set_.load(std::memory_order_acquire)) return;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return set_.load(); });
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_.load(); });
}

}  // namespace pw
