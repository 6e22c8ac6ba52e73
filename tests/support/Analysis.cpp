#include "tests/support/Analysis.h"

namespace pw::testing {

AnalysedFile::AnalysedFile(const std::filesystem::path& path, StatusConsumer::StatusCallback onStatus,
                           StatusConsumer::TableCallback onTable) {
    reader.SetNotifier(&notifier);
    StatusConsumer consumer(status, std::move(onStatus), std::move(onTable));
    ok = reader.AnalyseDatabase(path.string());
    consumer.Shutdown();
}

TableInfo* AnalysedFile::Find(const std::string& name) {
    for (TableInfo& table : reader.tables())
        if (table.name == name) return &table;
    return nullptr;
}

}  // namespace pw::testing
