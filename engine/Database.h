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

class TableRecordset;

// A new Jet 4 database (the Access 2000-2003 .mdb format) written from
// scratch: Create makes the file, Execute creates tables, recordsets add
// records, Close completes the file. Everything the engine refuses raises
// EngineError. One thread at a time.
class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // `locale` as ";LANGID=0x0409;CP=1252;COUNTRY=0"; `options` 0 (the
    // default format, the only one written). An existing file is never
    // replaced.
    void Create(const std::filesystem::path& path, const std::string& locale, int options = 0);
    bool IsOpen() const { return file_.IsOpen(); }
    const std::filesystem::path& path() const { return path_; }

    // A CREATE TABLE statement (see CreateTableParser.h); `options` 128 is
    // "fail on error", as every failure here is.
    void Execute(const std::string& sql, int options = 128);
    // What the last Execute could not store as asked, and what it stored instead.
    const std::vector<std::string>& lastNotes() const { return lastNotes_; }

    // "select * from [T] where 1=-1": an empty, updatable recordset on T.
    std::unique_ptr<TableRecordset> OpenRecordset(const std::string& query);

    // Writes the catalog, the usage maps, the table definitions and the
    // header, and closes the file.
    void Close();
    // Closes without completing the file (after a failure it cannot finish).
    void Abandon();

    std::int32_t PageCount() const { return file_.PageCount(); }

private:
    friend class TableRecordset;
    TableWriter* FindTable(const std::string& name);
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
    std::vector<std::string> lastNotes_;
};

}  // namespace pw
