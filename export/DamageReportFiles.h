#pragma once

#include <filesystem>
#include <string>

#include "export/RejectLog.h"
#include "status/DamageReport.h"

namespace pw {

// The damage report of an export for whoever opens its folder later: "<prefix>Damage Report.txt" for a person and
// "<prefix>Damage Report.json", each with the values the new database refused
// when `rejects` is given. Returns the text file's path, empty when it could
// not be written.
std::filesystem::path WriteDamageReportFiles(const std::filesystem::path& folder, const std::string& prefix,
                                             const DamageReport& damage, const RejectLog* rejects);

}  // namespace pw
