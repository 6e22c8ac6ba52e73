#include "salvage/Analysis.h"

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

std::string RefusalReason(std::int64_t fileSize, std::int64_t pageOne) {
    if (fileSize == 0) return "empty file";
    // Page 1 and at least three of the system pages after it must be there.
    if (fileSize < 4 * static_cast<std::int64_t>(kPageSize)) return "too short to hold an Access database";
    if (pageOne > kLastPageOnePosition)
        return "page 1 found only at byte " + std::to_string(pageOne) + ", past the first " +
               std::to_string(kLastPageOnePosition) + " bytes";
    return "not an Access database: no Jet 4 page 1 found";
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
    if (format == FormatCheck::NotRecognised) {
        // Kept even when refused, so that whoever reports the refusal can say
        // where page one was found.
        reader_.setPageOneOffset(reader_.LocatePageOne());
        const std::int64_t pageOne = reader_.pageOneOffset();
        if (pageOne == -1 || pageOne > kLastPageOnePosition) {
            if (reader_.HeaderNamesEncryption()) {
                refusalReason_ = "the header describes a password encryption: the pages after it are enciphered";
                return outcome_ = AnalysisOutcome::Encrypted;
            }
            refusalReason_ = RefusalReason(reader_.FileSize(), pageOne);
            return outcome_ = AnalysisOutcome::HighlyCorrupted;
        }
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
