#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "salvage/Analysis.h"
#include "status/DamageReport.h"
#include "status/RunControl.h"

namespace pw::testing {

// Keeps every status line and hands it at once to a hook, on the worker's own
// thread, so a test can act at an exact point of the analysis (raise the stop
// flag, say).
class RecordingSink : public ProgressSink {
public:
    std::function<void(const std::string&)> onLine;
    std::vector<std::string> lines;
    std::int64_t pagesDone = 0;
    std::int64_t pagesTotal = 0;

    void OnStatusLine(const std::string& line) override {
        lines.push_back(line);
        if (onLine) onLine(line);
    }
    void OnProgress(ProgressStage stage, std::int64_t done, std::int64_t total) override {
        if (stage != ProgressStage::Pages) return;
        pagesDone = done;
        pagesTotal = total;
    }
};

// A file analysed in-process, its lines, damage and stop flag its own.
class AnalysedFile {
public:
    using LineHook = std::function<void(AnalysedFile&, const std::string&)>;
    using TableHook = std::function<void(AnalysedFile&, const TableInfo&)>;

    explicit AnalysedFile(const std::filesystem::path& path, LineHook onLine = nullptr, TableHook onTable = nullptr);

    AnalysisOutcome outcome = AnalysisOutcome::NoPath;
    bool ok = false;  // the analysis completed
    StopFlag stop;
    RecordingSink sink;
    DamageReport damage;
    Analysis analysis;
    const CDbReader& reader = analysis.reader();
    std::vector<TableInfo> published;

    // Stop, the recorded lines and the damage report, for walks after the analysis.
    RunControl control() { return {&stop, &sink, &damage}; }
    const std::vector<TableInfo>& tables() const { return analysis.tables(); }
    const TableInfo* Find(const std::string& name) const { return analysis.Find(name); }
    const TableInfo& Table(const std::string& name) const;
    std::int32_t unnamedTables() const { return analysis.unnamedTables(); }
};

}  // namespace pw::testing
