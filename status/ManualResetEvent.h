#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pw {

// An event that stays set until someone resets it; every waiter is released
// while it is set.
class ManualResetEvent {
public:
    void Set();
    void Reset();
    void Wait();
    // Waits at most the given time; true when the event was set.
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> set_{false};
};

}  // namespace pw
