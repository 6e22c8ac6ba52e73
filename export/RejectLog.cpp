#include "export/RejectLog.h"

#include <algorithm>

#include "status/DisplayText.h"

namespace pw {

RejectLog::TableRejects* RejectLog::Find(const std::string& table) {
    const auto found = std::find_if(tables_.begin(), tables_.end(),
                                    [&](const TableRejects& t) { return t.name == table; });
    return found == tables_.end() ? nullptr : &*found;
}

const RejectLog::TableRejects* RejectLog::Find(const std::string& table) const {
    const auto found = std::find_if(tables_.begin(), tables_.end(),
                                    [&](const TableRejects& t) { return t.name == table; });
    return found == tables_.end() ? nullptr : &*found;
}

void RejectLog::Add(RejectRecord record) {
    std::lock_guard lock(mutex_);
    ++total_;
    TableRejects* entry = Find(record.table);
    if (entry == nullptr) {
        tables_.push_back({record.table, 0, {}});
        entry = &tables_.back();
    }
    ++entry->count;
    if (entry->kept.size() < kKeptPerTable) entry->kept.push_back(std::move(record));
}

std::int64_t RejectLog::Total() const {
    std::lock_guard lock(mutex_);
    return total_;
}

std::int64_t RejectLog::Count(const std::string& table) const {
    std::lock_guard lock(mutex_);
    const TableRejects* entry = Find(table);
    return entry == nullptr ? 0 : entry->count;
}

std::vector<RejectRecord> RejectLog::Kept(const std::string& table) const {
    std::lock_guard lock(mutex_);
    const TableRejects* entry = Find(table);
    return entry == nullptr ? std::vector<RejectRecord>{} : entry->kept;
}

nlohmann::ordered_json RejectLog::Json() const {
    std::lock_guard lock(mutex_);
    nlohmann::ordered_json tables = nlohmann::ordered_json::array();
    for (const TableRejects& t : tables_) {
        nlohmann::ordered_json first = nlohmann::ordered_json::array();
        for (const RejectRecord& r : t.kept) {
            nlohmann::ordered_json item;
            item["record"] = r.record;
            item["page"] = r.page < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.page);
            item["slot"] = r.slot < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.slot);
            item["column"] = r.column.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ValidUtf8(r.column));
            item["value"] = ValidUtf8(r.value);
            item["reason"] = ValidUtf8(r.reason);
            first.push_back(std::move(item));
        }
        nlohmann::ordered_json table;
        table["name"] = ValidUtf8(t.name);
        table["count"] = t.count;
        table["first"] = std::move(first);
        tables.push_back(std::move(table));
    }
    nlohmann::ordered_json out;
    out["total"] = total_;
    out["tables"] = std::move(tables);
    return out;
}

void RejectLog::WriteHuman(std::ostream& out) const {
    std::lock_guard lock(mutex_);
    if (total_ == 0) return;
    out << "Values the new database refused: " << total_ << " (each record was written with the field empty)\n";
    for (const TableRejects& t : tables_) {
        out << "  " << ForTerminal(t.name) << ": " << t.count << " refused";
        if (t.count > static_cast<std::int64_t>(t.kept.size())) out << ", the first " << t.kept.size() << " listed";
        out << '\n';
        for (const RejectRecord& r : t.kept) {
            out << "    record " << r.record;
            if (r.page >= 0) out << " (page " << r.page << " slot " << r.slot << ")";
            if (!r.column.empty()) out << " [" << ForTerminal(r.column) << "]";
            out << " " << ForTerminal(r.value) << ": " << ForTerminal(r.reason) << '\n';
        }
    }
}

}  // namespace pw
