#include "salvage/Analysis.h"

#include "salvage/FileFacts.h"

namespace pw {

std::string OutcomeMessage(AnalysisOutcome outcome) {
    switch (outcome) {
        case AnalysisOutcome::FormatNotSupported: return kFormatNotSupported;
        case AnalysisOutcome::HighlyCorrupted: return kHighlyCorrupted;
        case AnalysisOutcome::Encrypted: return kEncrypted;
        case AnalysisOutcome::Completed:
        case AnalysisOutcome::NoPath:
        case AnalysisOutcome::CannotOpen:
        case AnalysisOutcome::Stopped: break;
    }
    return {};
}

namespace {

std::string RefusalReason(std::int64_t fileSize) {
    if (fileSize == 0) return "empty file";
    if (fileSize < kPageSize) return "too short to hold an Access database";
    return "no Access page found: not an Access database";
}

}  // namespace

const TableInfo* Analysis::Find(const std::string& name) const {
    for (const TableInfo& table : tables_)
        if (table.name == name) return &table;
    return nullptr;
}

AnalysisOutcome Analysis::Run(const std::string& path, const RunControl& run, const TablePublisher& publish) {
    tables_.clear();
    unnamedTables_ = 0;
    refusalReason_.clear();
    facts_ = FileFacts{};
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
    if (format == FormatCheck::Pages2048) {
        refusalReason_ = "Access 97 (2048-byte pages) is not supported";
        return outcome_ = AnalysisOutcome::FormatNotSupported;
    }
    PageGrid grid;
    if (format == FormatCheck::NotRecognised) {
        if (reader_.HeaderNamesEncryption()) {
            refusalReason_ = "the header describes a password encryption: the pages after it are enciphered";
            return outcome_ = AnalysisOutcome::Encrypted;
        }
        // The start of the file does not say where the pages are: the pages
        // themselves do.
        grid = reader_.LocateGrid(run);
        if (run.StopRequested()) return outcome_ = AnalysisOutcome::Stopped;
        if (grid.halfPageGrid) {
            refusalReason_ = "Access 97 (2048-byte pages) is not supported";
            return outcome_ = AnalysisOutcome::FormatNotSupported;
        }
        if (!grid.found) {
            refusalReason_ = RefusalReason(reader_.FileSize());
            return outcome_ = AnalysisOutcome::HighlyCorrupted;
        }
    }

    run.Status("Analyzing started");
    if (run.StopRequested()) return outcome_ = AnalysisOutcome::Stopped;

    if (format == FormatCheck::Jet4 || (grid.phase == 0 && grid.firstPageNumber == 0)) {
        reader_.ScanPages(run);
        if (format != FormatCheck::Jet4) reader_.setPageOneOffset(kPageSize);
    } else {
        reader_.ScanGridPages(grid, run);
    }
    facts_ = DescribeFile(reader_, format, grid);

    DiscoveredTables found = DiscoverTables(reader_, run, publish);
    SortColumns(found.tables);
    tables_ = std::move(found.tables);
    unnamedTables_ = found.unnamedTables;
    CountTablePagesLostAtTail(facts_, static_cast<std::int64_t>(reader_.Map().size()), tables_);

    run.Status("Initializing Tables.....");
    outcome_ = found.stopped || run.StopRequested() ? AnalysisOutcome::Stopped : AnalysisOutcome::Completed;
    return outcome_;
}

}  // namespace pw
