#include "status/PageNumbering.h"

namespace pw {

const char* PageNumberingName(PageNumbering numbering) {
    switch (numbering) {
        case PageNumbering::Standard: return "standard";
        case PageNumbering::PageOne: return "page one";
        case PageNumbering::Links: return "links";
        case PageNumbering::SystemDefinitions: return "system definitions";
        case PageNumbering::Default: break;
    }
    return "default";
}

}  // namespace pw
