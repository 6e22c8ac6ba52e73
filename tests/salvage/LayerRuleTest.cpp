// The core's layers depend downward only. Every source of a layer may include
// headers of its own layer and of the layers below it, never of one above:
// the build links them in that order, and a header from above would tie a
// lower layer to code it cannot link against.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace pw {
namespace {

namespace fs = std::filesystem;

// Lowest first.
const std::vector<std::string> kLayers = {"status", "pagestore", "schema", "records", "export",
                                          "engine", "salvage", "cli", "app"};

int Rank(const std::string& layer) {
    for (std::size_t i = 0; i < kLayers.size(); ++i)
        if (kLayers[i] == layer) return static_cast<int>(i);
    return -1;
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

std::vector<Violation> UpwardIncludes(const fs::path& root) {
    std::vector<Violation> found;
    for (const std::string& layer : kLayers) {
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
                const int target = Rank(included);
                if (target > Rank(layer))
                    found.push_back({entry.path().lexically_relative(root).string(), line});
            }
        }
    }
    return found;
}

TEST(LayerRule, NoSourceIncludesAHeaderOfAHigherLayer) {
    const fs::path root = PAGEWRIGHT_SOURCE_DIR;
    ASSERT_TRUE(fs::is_directory(root / "pagestore")) << root;
    std::string report;
    for (const Violation& v : UpwardIncludes(root)) report += v.file + ": " + v.include + "\n";
    EXPECT_TRUE(report.empty()) << report;
}

TEST(LayerRule, TheCheckSeesAnUpwardInclude) {
    const fs::path root = fs::temp_directory_path() / ("pagewright-layers-" + std::to_string(::getpid()));
    fs::create_directories(root / "pagestore");
    fs::create_directories(root / "schema");
    std::ofstream(root / "pagestore" / "Bad.cpp") << "#include \"pagestore/Fine.h\"\n#include \"schema/TableInfo.h\"\n";
    std::ofstream(root / "schema" / "Good.h") << "#include \"pagestore/PageMap.h\"\n#include <vector>\n";
    const std::vector<Violation> found = UpwardIncludes(root);
    fs::remove_all(root);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].file, "pagestore/Bad.cpp");
}

}  // namespace
}  // namespace pw
