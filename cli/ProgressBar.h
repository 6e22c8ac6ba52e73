#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace pw::cli {

// A one-line progress bar for a terminal; silent when disabled.
class ProgressBar {
public:
    static constexpr std::int64_t kWorthShowingPages = 2048;  // 8 MiB of pages

    ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
    void Update(const std::string& what, std::int64_t done, std::int64_t total);
    void Clear();

private:
    std::ostream& out_;
    bool enabled_;
    bool shown_ = false;
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace pw::cli
