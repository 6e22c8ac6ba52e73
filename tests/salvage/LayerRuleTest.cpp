// The core's layers depend on each other by an explicit graph: every source
// of a layer may include headers of its own layer and of the layers the graph
// allows it, never others. The build links each library to those layers only,
// and a header from elsewhere would tie a layer to code it cannot link
// against (the engine, a writer of the format, must stand without the export
// glue or the analysis above it).

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace pw {
namespace {

namespace fs = std::filesystem;

// What each layer may include besides itself; a folder not named here is
// not checked.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"status", {}},
    {"pagestore", {"status"}},
    {"schema", {"pagestore", "status"}},
    {"records", {"schema", "pagestore", "status"}},
    {"engine", {"records", "schema", "pagestore"}},
    {"export", {"engine", "records", "schema", "pagestore", "status"}},
    {"salvage", {"export", "engine", "records", "schema", "pagestore", "status"}},
    {"cli", {"salvage", "export", "engine", "records", "schema", "pagestore", "status"}},
    {"app", {"salvage", "export", "engine", "records", "schema", "pagestore", "status"}},
};

bool Allowed(const std::string& layer, const std::string& included) {
    if (included == layer) return true;
    const auto found = kAllowed.find(layer);
    // Folders outside the graph (a system header's subfolder, say) are no layer.
    if (kAllowed.find(included) == kAllowed.end()) return true;
    return found != kAllowed.end() && found->second.count(included) != 0;
}

struct Violation {
    std::string file;
    std::string include;
};

// The folder a project include names ("schema" of #include "schema/X.h"),
// empty for a line that is no such include.
std::string IncludedLayer(const std::string& line) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return {};
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return {};
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || line[i] != '"') return {};
    const std::size_t slash = line.find('/', i + 1);
    if (slash == std::string::npos) return {};
    return line.substr(i + 1, slash - i - 1);
}

std::vector<Violation> ForbiddenIncludes(const fs::path& root) {
    std::vector<Violation> found;
    for (const auto& [layer, allowed] : kAllowed) {
        const fs::path dir = root / layer;
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            const std::string extension = entry.path().extension().string();
            if (extension != ".h" && extension != ".cpp") continue;
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                const std::string included = IncludedLayer(line);
                if (included.empty()) continue;
                if (!Allowed(layer, included))
                    found.push_back({entry.path().lexically_relative(root).string(), line});
            }
        }
    }
    return found;
}

TEST(LayerRule, EverySourceIncludesOnlyTheLayersTheGraphAllows) {
    const fs::path root = PAGEWRIGHT_SOURCE_DIR;
    ASSERT_TRUE(fs::is_directory(root / "pagestore")) << root;
    std::string report;
    for (const Violation& v : ForbiddenIncludes(root)) report += v.file + ": " + v.include + "\n";
    EXPECT_TRUE(report.empty()) << report;
}

TEST(LayerRule, TheCheckSeesAnIncludeTheGraphForbids) {
    const fs::path root = fs::temp_directory_path() / ("pagewright-layers-" + std::to_string(::getpid()));
    fs::create_directories(root / "pagestore");
    fs::create_directories(root / "schema");
    fs::create_directories(root / "engine");
    fs::create_directories(root / "export");
    std::ofstream(root / "pagestore" / "Bad.cpp") << "#include \"pagestore/Fine.h\"\n#include \"schema/TableInfo.h\"\n";
    std::ofstream(root / "schema" / "Good.h") << "#include \"pagestore/PageMap.h\"\n#include <vector>\n";
    // The engine sits below the export glue and beside the status layer:
    // neither may reach it, though the export may use the engine.
    std::ofstream(root / "engine" / "Planted.cpp") << "#include \"records/TypedValue.h\"\n#include \"export/SqlBuilder.h\"\n";
    std::ofstream(root / "engine" / "Logs.cpp") << "  #  include \"status/Logging.h\"\n";
    std::ofstream(root / "export" / "Target.cpp") << "#include \"engine/Database.h\"\n";
    std::vector<Violation> found = ForbiddenIncludes(root);
    fs::remove_all(root);
    std::sort(found.begin(), found.end(), [](const Violation& a, const Violation& b) { return a.file < b.file; });
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].file, "engine/Logs.cpp");
    EXPECT_EQ(found[1].file, "engine/Planted.cpp");
    EXPECT_EQ(found[1].include, "#include \"export/SqlBuilder.h\"");
    EXPECT_EQ(found[2].file, "pagestore/Bad.cpp");
}

}  // namespace
}  // namespace pw
