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

// A line of a data file cut into fields: fields are separated by ", "; a
// field that starts with a double quote runs to the closing quote (a doubled
// quote inside stands for one).
inline std::vector<std::string> SplitCsvLine(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (true) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.push_back(line[i++]);
            }
            fields.push_back(field);
            if (i >= line.size()) break;
            if (line.compare(i, 2, ", ") != 0) {
                fields.push_back("<text after closing quote>");
                break;
            }
            i += 2;
        } else {
            const std::size_t next = line.find(", ", i);
            fields.push_back(line.substr(i, next == std::string::npos ? std::string::npos : next - i));
            if (next == std::string::npos) break;
            i = next + 2;
        }
    }
    return fields;
}

inline std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace pw::testing::exportsupport
