#include "status/DatabaseFormat.h"

namespace pw {

const char* DatabaseFormatName(DatabaseFormat format) {
    switch (format) {
        case DatabaseFormat::Jet4: return "Jet 4";
        case DatabaseFormat::Ace: return "ACE";
    }
    return "Jet 4";
}

}  // namespace pw
