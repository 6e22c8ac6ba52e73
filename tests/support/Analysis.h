#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "pagestore/DbReader.h"
#include "status/RecoveryStatus.h"
#include "status/StatusConsumer.h"
#include "status/UserNotifier.h"

namespace pw::testing {

// A file analysed in-process with a status of its own and a consumer that
// acknowledges every hand-shake at once. onStatus/onTable run on the
// consumer's threads before the acknowledgement.
class AnalysedFile {
public:
    explicit AnalysedFile(const std::filesystem::path& path,
                          StatusConsumer::StatusCallback onStatus = nullptr,
                          StatusConsumer::TableCallback onTable = nullptr);

    bool ok = false;
    RecoveryStatus status;
    RecordingNotifier notifier;
    CDbReader reader{status};

    std::vector<TableInfo>& tables() { return reader.tables(); }
    TableInfo* Find(const std::string& name);
};

}  // namespace pw::testing
