#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

namespace pw::testing {

// Runs `work` on a thread of its own and fails the test when it has not
// returned within ten seconds: work that must never wait would otherwise hang
// the whole run. A blocked thread can neither be joined nor safely left
// behind, so the run ends right after the failure.
inline void ExpectReturnsInTime(const std::function<void()>& work, const char* what) {
    std::promise<void> finished;
    std::future<void> ended = finished.get_future();
    std::thread worker([&] {
        work();
        finished.set_value();
    });
    if (ended.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << what << " blocked";
        std::fflush(stdout);
        std::_Exit(1);
    }
    worker.join();
}

}  // namespace pw::testing
