#pragma once

namespace pw {

// The file format family a database was written in.
enum class DatabaseFormat {
    Jet4,
    Ace,
};

// The names the damage report shows: "Jet 4", "ACE".
const char* DatabaseFormatName(DatabaseFormat format);

}  // namespace pw
