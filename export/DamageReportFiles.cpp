#include "export/DamageReportFiles.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "export/DamageSummary.h"

namespace pw {

std::filesystem::path WriteDamageReportFiles(const std::filesystem::path& folder, const std::string& prefix,
                                             const DamageReport& damage, const RejectLog* rejects) {
    const std::filesystem::path text = folder / (prefix + "Damage Report.txt");
    std::ofstream human(text, std::ios::binary | std::ios::trunc);
    WriteDamageSummary(human, damage);
    if (rejects != nullptr) rejects->WriteHuman(human);
    human.close();
    nlohmann::ordered_json summary = DamageSummaryJson(damage);
    if (rejects != nullptr) summary["rejectedValues"] = rejects->Json();
    std::ofstream json(folder / (prefix + "Damage Report.json"), std::ios::binary | std::ios::trunc);
    json << summary.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    return human ? text : std::filesystem::path();
}

}  // namespace pw
