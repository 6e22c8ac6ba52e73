#pragma once

// The analysis reads files, not memory: every fuzz input is written to one
// scratch file (in /dev/shm when there is one, so no disk is touched) that
// the target then analyses.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "salvage/Analysis.h"
#include "status/DamageReport.h"

namespace pw::fuzz {

inline std::filesystem::path ScratchFolder() {
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? std::filesystem::path(tmp) : std::filesystem::temp_directory_path();
}

// One scratch file per process; the name ends in .mdb like a real database.
inline const std::string& ScratchPath() {
    static const std::string path =
        (ScratchFolder() / ("pagewright-fuzz-" + std::to_string(::getpid()) + ".mdb")).string();
    return path;
}

inline bool WriteScratch(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Keeps the program's own files (logs) out of the build folder, and removes
// the scratch file when the fuzzer ends.
inline void InitializeFuzzing() {
    // Both paths are made before the exit hook is registered, so they are
    // destroyed only after it has run.
    ScratchPath();
    static const std::string state = (ScratchFolder() / ("pagewright-fuzz-state-" + std::to_string(::getpid()))).string();
    ::setenv("PAGEWRIGHT_STATE_DIR", state.c_str(), 1);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove(ScratchPath(), ec);
        std::filesystem::remove_all(state, ec);
    });
}

// The input analysed, with a damage report of its own.
struct FuzzAnalysis {
    DamageReport damage;
    Analysis analysis;
    bool completed = false;

    RunControl control() { return {nullptr, nullptr, &damage}; }

    FuzzAnalysis(const std::uint8_t* data, std::size_t size) {
        if (!WriteScratch(data, size)) return;
        completed = analysis.Run(ScratchPath(), control()) == AnalysisOutcome::Completed;
    }
};

}  // namespace pw::fuzz
