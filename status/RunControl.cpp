#include "status/RunControl.h"

#include "status/DamageReport.h"

namespace pw {

void RunControl::Report(const DamageEvent& event) const {
    if (damage != nullptr) damage->Report(event);
}

}  // namespace pw
