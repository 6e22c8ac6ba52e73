#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/HeaderPage.h"
#include "engine/LongValueStore.h"
#include "engine/OutputFile.h"
#include "engine/TableWriter.h"

namespace pw {

// Locale of a new database: English (United States), code page 1252.
inline constexpr const char* kDefaultDatabaseLocale = ";LANGID=0x0409;CP=1252;COUNTRY=0";

struct DatabaseOptions {
    std::string locale = kDefaultDatabaseLocale;  // as ";LANGID=0x0409;CP=1252;COUNTRY=0"
};

// A new Jet 4 database (the Access 2000-2003 .mdb format) written from
// scratch: Create makes the file, CreateTable adds a table whose writer takes
// its records, Finish completes the file. A design the format cannot hold,
// and a file that cannot be written, raise EngineError; a value a table
// cannot hold is refused by its writer, field by field. One thread at a time.
class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // An existing file is never replaced.
    void Create(const std::filesystem::path& path, const DatabaseOptions& options = {});
    bool IsOpen() const { return file_.IsOpen(); }
    const std::filesystem::path& path() const { return path_; }

    // A new user table; its writer lives as long as the database is open.
    // Refused (EngineError) when a table of that name exists (names compare
    // without regard to case) or the design is one the format cannot hold
    // (see DesignProblem).
    TableWriter& CreateTable(TableDesign design);
    // The table of that name (exact, else without regard to case), or null.
    TableWriter* FindTable(const std::string& name);

    // Writes the catalog, the usage maps, the table definitions and the
    // header, and closes the file.
    void Finish();
    // Closes without completing the file (after a failure it cannot finish).
    void Abandon();

    std::int32_t PageCount() const { return file_.PageCount(); }

private:
    void WriteCatalogRows();
    void WriteUsageMaps();

    std::filesystem::path path_;
    OutputFile file_;
    std::unique_ptr<LongValueStore> longValues_;
    // The catalog first, then the other system tables, then the user tables.
    std::vector<std::unique_ptr<TableWriter>> tables_;
    std::size_t systemTables_ = 0;
    DatabaseLocale locale_;
    double created_ = 0;
};

}  // namespace pw
