#include "salvage/Analysis.h"

namespace pw {

std::string OutcomeMessage(AnalysisOutcome outcome) {
    switch (outcome) {
        case AnalysisOutcome::FormatNotSupported: return kFormatNotSupported;
        case AnalysisOutcome::HighlyCorrupted: return kHighlyCorrupted;
        case AnalysisOutcome::Completed:
        case AnalysisOutcome::NoPath:
        case AnalysisOutcome::CannotOpen:
        case AnalysisOutcome::Stopped: break;
    }
    return {};
}

const TableInfo* Analysis::Find(const std::string& name) const {
    for (const TableInfo& table : tables_)
        if (table.name == name) return &table;
    return nullptr;
}

AnalysisOutcome Analysis::Run(const std::string& path, const RunControl& run, const TablePublisher& publish) {
    tables_.clear();
    unnamedTables_ = 0;
    reader_.CloseDatabaseFile();
    outcome_ = AnalysisOutcome::NoPath;
    if (path.empty()) return outcome_;

    storageFormat_ = StorageFormatLabel(path);
    if (!reader_.OpenDatabaseFile(path)) {
        run.Status("Opening file failed...");
        return outcome_ = AnalysisOutcome::CannotOpen;
    }
    run.Status("Opened file successfully...");

    const FormatCheck format = reader_.CheckFileFormat();
    if (format == FormatCheck::Pages2048) return outcome_ = AnalysisOutcome::FormatNotSupported;
    if (format == FormatCheck::NotRecognised) {
        // Kept even when refused, so that whoever reports the refusal can say
        // where page one was found.
        reader_.setPageOneOffset(reader_.LocatePageOne());
        const std::int64_t pageOne = reader_.pageOneOffset();
        if (pageOne == -1 || pageOne > kLastPageOnePosition) return outcome_ = AnalysisOutcome::HighlyCorrupted;
    }

    run.Status("Analyzing started");
    if (run.StopRequested()) return outcome_ = AnalysisOutcome::Stopped;

    if (format == FormatCheck::Jet4 || reader_.pageOneOffset() == kPageSize) {
        reader_.ScanPages(run);
    } else {
        // Page 1 somewhere in the first 24576 bytes other than at 4096: the
        // start of the file is damaged or missing, pages follow page 1.
        reader_.ScanShiftedPages(reader_.pageOneOffset(), run);
    }

    DiscoveredTables found = DiscoverTables(reader_, run, publish);
    SortColumns(found.tables);
    tables_ = std::move(found.tables);
    unnamedTables_ = found.unnamedTables;

    run.Status("Initializing Tables.....");
    outcome_ = found.stopped || run.StopRequested() ? AnalysisOutcome::Stopped : AnalysisOutcome::Completed;
    return outcome_;
}

}  // namespace pw
