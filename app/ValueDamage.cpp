#include "app/ValueDamage.h"

namespace pw::app {

bool ValueDamage::MetOnlyByDecoding(DamageKind kind) {
    switch (kind) {
        case DamageKind::LongValueBroken:
        case DamageKind::LongValueLoop:
        case DamageKind::ValueOutOfRange:
        case DamageKind::ValueUnreadable: return true;
        default: return false;
    }
}

bool ValueDamage::BeginTable(const std::string& table) {
    std::lock_guard lock(mutex_);
    current_ = table;
    adding_ = walked_.insert(table).second;
    return adding_;
}

void ValueDamage::AddDamagedRows(const std::string& table, std::int64_t rows) {
    if (rows > 0) report_.AddTableRows(table, 0, 0, 0, rows);
}

void ValueDamage::Report(const DamageEvent& event) {
    if (!MetOnlyByDecoding(event.kind)) return;
    {
        std::lock_guard lock(mutex_);
        if (!adding_ || event.table != current_) return;
    }
    report_.Report(event);
}

}  // namespace pw::app
