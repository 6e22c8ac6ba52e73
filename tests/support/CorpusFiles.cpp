#include "tests/support/CorpusFiles.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace pw::testing {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::filesystem::path CorpusDir() {
    const std::string fromEnvironment = Environment("PAGEWRIGHT_CORPUS_DIR");
    if (!fromEnvironment.empty()) return fromEnvironment;
#ifdef PAGEWRIGHT_DEFAULT_CORPUS_DIR
    return PAGEWRIGHT_DEFAULT_CORPUS_DIR;
#else
    return {};
#endif
}

bool CorpusAvailable() {
    const std::filesystem::path dir = CorpusDir();
    std::error_code ec;
    return !dir.empty() && std::filesystem::is_directory(dir / "files", ec) &&
           std::filesystem::is_directory(dir / "expected", ec);
}

bool RunningInCi() { return !Environment("CI").empty(); }

nlohmann::json LoadExpected(const CorpusFile& file) {
    std::ifstream in(file.expectedPath);
    if (!in) throw std::runtime_error("cannot read " + file.expectedPath.string());
    return nlohmann::json::parse(in);
}

std::vector<CorpusFile> ListCorpusFiles() {
    std::vector<CorpusFile> files;
    if (!CorpusAvailable()) return files;
    const std::filesystem::path dir = CorpusDir();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "files", ec)) {
        if (!entry.is_regular_file(ec)) continue;
        CorpusFile file;
        file.name = entry.path().filename().string();
        file.path = entry.path();
        file.expectedPath = dir / "expected" / (file.name + ".json");
        if (!std::filesystem::is_regular_file(file.expectedPath, ec)) continue;
        const nlohmann::json expected = LoadExpected(file);
        file.format = expected.contains("error") ? "error" : expected.value("format", std::string());
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(),
              [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
    return files;
}

}  // namespace pw::testing
