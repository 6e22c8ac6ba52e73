#include "cli/ProgressBar.h"

namespace pw::cli {

void ProgressBar::Update(const std::string& what, std::int64_t done, std::int64_t total) {
    if (!enabled_ || total <= 0) return;
    const int percent = static_cast<int>(done * 100 / total);
    const auto now = std::chrono::steady_clock::now();
    if (percent == lastPercent_ && now - lastDraw_ < std::chrono::milliseconds(200)) return;
    lastPercent_ = percent;
    lastDraw_ = now;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << percent << "% " << what << ' '
         << done << '/' << total << std::flush;
    shown_ = true;
}

void ProgressBar::Clear() {
    if (!shown_) return;
    out_ << "\r\033[K" << std::flush;
    shown_ = false;
    lastPercent_ = -1;
}

}  // namespace pw::cli
