#include "tests/support/Analysis.h"

#include <stdexcept>

namespace pw::testing {

AnalysedFile::AnalysedFile(const std::filesystem::path& path, LineHook onLine, TableHook onTable) {
    if (onLine) sink.onLine = [this, onLine](const std::string& line) { onLine(*this, line); };
    outcome = analysis.Run(path.string(), control(), [this, onTable](const TableInfo& table) {
        published.push_back(table);
        if (onTable) onTable(*this, table);
    });
    ok = outcome == AnalysisOutcome::Completed;
}

const TableInfo& AnalysedFile::Table(const std::string& name) const {
    if (const TableInfo* table = Find(name)) return *table;
    throw std::logic_error("no table " + name);
}

}  // namespace pw::testing
