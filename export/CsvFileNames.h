#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pw {

// A table name made into a file-name stem that stays inside the export folder:
// "/", "\", NUL, control characters and the characters that other systems
// refuse in file names (< > : " | ? *) become "_"; "." and ".." become "_" and
// "__"; an empty name becomes "_"; a stem longer than kMaxCsvStemBytes is cut
// at a character boundary, leaving room for " (n)", "_n" and ".csv".
inline constexpr std::size_t kMaxCsvStemBytes = 200;
std::string SanitizeCsvStem(std::string_view tableName);

// Hands out one stem per table of an export so that no two tables share a
// file: a table's files are "<stem>.csv" and "<stem>_<n>.csv", so a stem also
// clashes with a stem taken earlier that is itself plus "_<digits>" (or the
// other way round). Comparison ignores ASCII case, as the files may end up on
// a file system that does. A clashing stem becomes "<stem> (2)", "<stem> (3)"…
class CsvFileNamer {
public:
    std::string Reserve(std::string_view tableName);

private:
    bool Clashes(const std::string& stem) const;
    std::vector<std::string> taken_;  // folded to lower case
};

}  // namespace pw
