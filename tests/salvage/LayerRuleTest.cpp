// The core's layers depend downward only. Every source of a layer may include
// headers of its own layer and of the layers below it, never of one above:
// the build links them in that order, and a header from above would tie a
// lower layer to code it cannot link against.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
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

std::vector<Violation> UpwardIncludes(const fs::path& root) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*"([a-z]+)/[^"]+")");
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
                std::smatch match;
                if (!std::regex_search(line, match, kInclude)) continue;
                const int target = Rank(match[1].str());
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
