#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "status/AppPaths.h"
#include "tests/support/Analysis.h"
#include "tests/support/FileTools.h"

namespace pw::testing::exportsupport {

// A database file analysed as the program does.
class AnalysedForExport {
public:
    explicit AnalysedForExport(const std::filesystem::path& path) : file_(path) {}

    bool analysed() const { return file_.ok; }
    const PageSource& pages() const { return file_.analysis.pages(); }
    const std::vector<TableInfo>& tables() const { return file_.tables(); }
    const TableInfo& Table(const std::string& name) const { return file_.Table(name); }
    RunControl control() { return file_.control(); }
    StopFlag& stop() { return file_.stop; }
    DamageReport& damage() { return file_.damage; }

private:
    testing::AnalysedFile file_;
};

// The application folder pointed at a temporary one for the life of a test.
class ScopedAppDirectory {
public:
    explicit ScopedAppDirectory(const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder / "Log Files");
        SetAppDirectory(folder);
    }
    ~ScopedAppDirectory() { ResetAppDirectory(); }
    ScopedAppDirectory(const ScopedAppDirectory&) = delete;
    ScopedAppDirectory& operator=(const ScopedAppDirectory&) = delete;
};

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines of a file whose lines all end in CR LF; a line end that is not
// CR LF makes the whole result a single "<bad line end>" entry.
inline std::vector<std::string> CrLfLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < content.size()) {
        const std::size_t lf = content.find('\n', from);
        if (lf == std::string::npos || lf == from || content[lf - 1] != '\r') return {"<bad line end>"};
        lines.push_back(content.substr(from, lf - 1 - from));
        from = lf + 1;
    }
    return lines;
}

// A strict RFC 4180 reader: records end in CR LF (the last one may lack
// it), fields are split by the delimiter, a field that starts with a double
// quote runs to its closing quote with "" standing for one quote, and
// anything else (a quote inside an unquoted field, text after a closing
// quote, a bare CR or LF) is an error: `ok` turns false.
struct CsvDocument {
    bool ok = true;
    std::string error;
    std::vector<std::vector<std::string>> records;
};

inline CsvDocument ReadCsvStrictly(const std::string& text, char delimiter = ',') {
    CsvDocument doc;
    auto fail = [&](const std::string& why, std::size_t at) {
        doc.ok = false;
        doc.error = why + " at byte " + std::to_string(at);
        return doc;
    };
    std::size_t i = 0;
    std::vector<std::string> record;
    while (i < text.size()) {
        std::string field;
        if (text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size()) return fail("unclosed quote", i);
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.push_back(text[i++]);
            }
        } else {
            while (i < text.size() && text[i] != delimiter && text[i] != '\r' && text[i] != '\n') {
                if (text[i] == '"') return fail("quote inside an unquoted field", i);
                field.push_back(text[i++]);
            }
        }
        record.push_back(std::move(field));
        if (i >= text.size()) break;
        if (text[i] == delimiter) {
            ++i;
            if (i >= text.size()) record.emplace_back();
            continue;
        }
        if (text.compare(i, 2, "\r\n") != 0) return fail("a record that does not end in CR LF", i);
        i += 2;
        doc.records.push_back(std::move(record));
        record.clear();
    }
    if (!record.empty()) doc.records.push_back(std::move(record));
    return doc;
}

inline std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace pw::testing::exportsupport
