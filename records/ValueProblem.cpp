#include "records/ValueProblem.h"

namespace pw {

const char* ValueProblemName(ValueProblem problem) {
    switch (problem) {
        case ValueProblem::None: return "none";
        case ValueProblem::CutShort: return "cut-short";
        case ValueProblem::PointerBroken: return "pointer-broken";
        case ValueProblem::ChainLoop: return "chain-loop";
        case ValueProblem::UnknownFlags: return "unknown-flags";
        case ValueProblem::OutsideCalendar: return "outside-calendar";
        case ValueProblem::Unreadable: return "unreadable";
    }
    return "none";
}

}  // namespace pw
