#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace pw {

class DamageReporter;
struct DamageEvent;

// Raised by whoever wants long work to end (a Stop button, Ctrl-C, a window
// that closes); every loop of the salvage polls it and ends cleanly.
class StopFlag {
public:
    void Request() { requested_.store(true, std::memory_order_relaxed); }
    void Clear() { requested_.store(false, std::memory_order_relaxed); }
    bool Requested() const { return requested_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> requested_{false};
};

// What long work counts while it runs.
enum class ProgressStage { Pages, Tables, Rows };

// Where long work tells how far it is. Implementations must return at once:
// the worker never waits for whoever shows the progress.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // A line for the progress list; lines are kept in order.
    virtual void OnStatusLine(const std::string& line) = 0;
    // The latest count of a stage; only the newest one matters.
    virtual void OnProgress(ProgressStage stage, std::int64_t done, std::int64_t total) = 0;
};

// What every long operation is handed: when to stop, where to tell progress,
// where to report damage. Any of them may be missing.
struct RunControl {
    const StopFlag* stop = nullptr;
    ProgressSink* progress = nullptr;
    DamageReporter* damage = nullptr;

    bool StopRequested() const { return stop != nullptr && stop->Requested(); }
    void Status(const std::string& line) const {
        if (progress != nullptr) progress->OnStatusLine(line);
    }
    void Progress(ProgressStage stage, std::int64_t done, std::int64_t total) const {
        if (progress != nullptr) progress->OnProgress(stage, done, total);
    }
    void Report(const DamageEvent& event) const;
};

}  // namespace pw
