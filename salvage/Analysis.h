#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/DbReader.h"
#include "schema/TableDiscovery.h"
#include "schema/TableInfo.h"
#include "status/DamageReport.h"
#include "status/RunControl.h"

namespace pw {

// How an analysis ended.
enum class AnalysisOutcome {
    Completed,           // the file was read and its tables are known
    NoPath,              // no file was named
    CannotOpen,          // the file could not be opened (openError says why)
    FormatNotSupported,  // an Access 97 file (2048-byte pages)
    HighlyCorrupted,     // no page one where the salvage can find it
    Encrypted,           // the header says the pages are enciphered with a password
    Stopped,             // a stop came; what was found up to then is kept
};

// What a person is told about a refused file.
inline constexpr const char* kFormatNotSupported = "File format not Supported.";
inline constexpr const char* kHighlyCorrupted = " This file is highly corrupted and cannot be recovered. ";
inline constexpr const char* kEncrypted =
    "This file is encrypted with a password and cannot be read without it.";
// The message for an outcome; empty for outcomes that show none.
std::string OutcomeMessage(AnalysisOutcome outcome);

// One analysis of one file: recognition, the page scan, the discovery of
// the tables and their names. Status lines, progress and damage go to the
// run control; each table is published when its schema has been read. After
// Run the tables are fixed: walks over them take them by const reference.
class Analysis {
public:
    Analysis() = default;
    Analysis(const Analysis&) = delete;
    Analysis& operator=(const Analysis&) = delete;

    AnalysisOutcome Run(const std::string& path, const RunControl& run, const TablePublisher& publish = {});

    AnalysisOutcome outcome() const { return outcome_; }
    const CDbReader& reader() const { return reader_; }
    CDbReader& reader() { return reader_; }
    const PageSource& pages() const { return reader_; }
    const std::vector<TableInfo>& tables() const { return tables_; }
    const TableInfo* Find(const std::string& name) const;
    std::int32_t unnamedTables() const { return unnamedTables_; }
    // "MS-Access 2003/2000" or "MS-Access 2007", by the file's name.
    const std::string& storageFormat() const { return storageFormat_; }
    const std::string& openError() const { return reader_.openError(); }
    // Why a file was refused, for a person to act on ("empty file", ...);
    // empty when it was not.
    const std::string& refusalReason() const { return refusalReason_; }
    // Where the pages were found and what of the file's structure survived.
    const FileFacts& fileFacts() const { return facts_; }

private:
    CDbReader reader_;
    std::vector<TableInfo> tables_;
    std::int32_t unnamedTables_ = 0;
    std::string storageFormat_;
    std::string refusalReason_;
    FileFacts facts_;
    AnalysisOutcome outcome_ = AnalysisOutcome::NoPath;
};

}  // namespace pw
