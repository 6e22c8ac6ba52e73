#pragma once

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace pw::testing {

// One real database of the corpus with the content it is expected to decode to.
struct CorpusFile {
    std::string name;                    // file name, e.g. "Adespo__bd.mdb"
    std::filesystem::path path;          // corpus/files/<name>
    std::filesystem::path expectedPath;  // corpus/expected/<name>.json
    // "JET3", "JET4", "ACE12" ... "ACE17", or "error" for files that could
    // not be read (the encrypted ones).
    std::string format;
};

// The corpus folder: $PAGEWRIGHT_CORPUS_DIR when set and not empty, else the
// folder CMake names. Does not check that it exists.
std::filesystem::path CorpusDir();
// True when the folder holds files/ and expected/.
bool CorpusAvailable();
// True when the environment variable CI is set and not empty.
bool RunningInCi();

// Every file of corpus/files that has an expected JSON, sorted by name.
std::vector<CorpusFile> ListCorpusFiles();
nlohmann::json LoadExpected(const CorpusFile& file);

}  // namespace pw::testing

// First statement of every corpus test: without the corpus folder the test
// fails on a CI machine and is skipped elsewhere.
#define PW_REQUIRE_CORPUS()                                                                              \
    do {                                                                                                 \
        if (!::pw::testing::CorpusAvailable()) {                                                         \
            if (::pw::testing::RunningInCi()) {                                                          \
                FAIL() << "The corpus folder is missing: " << ::pw::testing::CorpusDir().string();       \
            } else {                                                                                     \
                GTEST_SKIP() << "The corpus folder is missing: " << ::pw::testing::CorpusDir().string(); \
            }                                                                                            \
        }                                                                                                \
    } while (false)
