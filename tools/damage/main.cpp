// pagewright_damage: damages copies of the corpus files in the ways real files
// are damaged, dumps each copy with the built command line and reports how
// many of the expected rows came back, per kind of damage.

#include <CLI/CLI.hpp>

#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tests/support/CorpusFiles.h"
#include "tools/damage/DamageKinds.h"
#include "tools/damage/SuiteReport.h"
#include "tools/damage/SuiteRun.h"

namespace {

using namespace pw::damage;

// CTest takes this exit code as "skipped".
constexpr int kExitSkipped = 77;

struct Threshold {
    std::string kind;
    double percent = 0;
};

bool ParseThresholds(const std::vector<std::string>& texts, std::vector<Threshold>& out) {
    for (const std::string& text : texts) {
        const auto eq = text.find('=');
        if (eq == std::string::npos) return false;
        Threshold t{text.substr(0, eq), 0};
        try {
            t.percent = std::stod(text.substr(eq + 1));
        } catch (...) {
            return false;
        }
        if (FindDamageKind(t.kind) == nullptr) return false;
        out.push_back(t);
    }
    return true;
}

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

std::vector<std::string> Split(const std::vector<std::string>& lists) {
    std::vector<std::string> items;
    for (const std::string& list : lists) {
        std::stringstream in(list);
        std::string item;
        while (std::getline(in, item, ','))
            if (!item.empty()) items.push_back(item);
    }
    return items;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Damages copies of the corpus files, dumps them with pagewright and scores the recovery"};
    SuiteSettings settings;
    std::string corpus;
    std::vector<std::string> files;
    std::vector<std::string> kinds;
    std::uint64_t firstSeed = 1;
    int seedCount = 1;
    std::string report;
    std::vector<std::string> minRecovered;
    std::vector<std::string> maxGarbage;
    bool failOnFindings = false;
    bool listKinds = false;
    app.add_option("--pagewright", settings.pagewright, "The pagewright binary to measure");
    app.add_option("--corpus", corpus, "The corpus folder (files/ and expected/); default the project's");
    app.add_option("--out", settings.outDir, "Folder for the report, findings and scratch copies")
        ->default_val("damage-out");
    app.add_option("--file", files, "Only these corpus files (names, comma-separated or repeated)");
    app.add_option("--max-bytes", settings.maxFileBytes, "Leave out files larger than this");
    app.add_option("--kind", kinds, "Only these kinds (comma-separated or repeated); the intact control always runs");
    app.add_option("--seed", firstSeed, "First seed")->default_val(1);
    app.add_option("--seeds", seedCount, "Number of seeds, from --seed up")->default_val(1);
    app.add_option("--timeout", settings.limits.seconds, "Seconds one dump may take before it counts as a hang")
        ->default_val(60);
    app.add_option("--memory-mb", settings.limits.memoryMiB, "Address-space limit of a dump (0: none)")
        ->default_val(0);
    app.add_option("--jobs", settings.jobs, "Files worked on at once")->default_val(2);
    app.add_option("--report", report, "Report file (default OUT/damage-report.md)");
    app.add_option("--min-recovered", minRecovered, "KIND=PERCENT: fail when the kind recovers less");
    app.add_option("--max-garbage", maxGarbage, "KIND=PERCENT: fail when the kind dumps more garbage");
    app.add_flag("--fail-on-findings", failOnFindings, "Fail on any hang, crash or unreadable dump");
    app.add_flag("--keep-copies", settings.keepCopies, "Keep every damaged copy under OUT/work");
    app.add_flag("--verbose", settings.verbose, "One line per dump on stderr");
    app.add_flag("--list-kinds", listKinds, "List the kinds of damage and exit");
    CLI11_PARSE(app, argc, argv);

    if (listKinds) {
        for (const DamageKind& k : AllDamageKinds())
            std::cout << k.name << (k.seeded ? " (seeded)" : "") << ": " << k.description << "\n";
        return 0;
    }
    std::vector<Threshold> recoveredFloors;
    std::vector<Threshold> garbageCeilings;
    if (!ParseThresholds(minRecovered, recoveredFloors) || !ParseThresholds(maxGarbage, garbageCeilings)) {
        std::cerr << "thresholds are KIND=PERCENT with a known kind (see --list-kinds)\n";
        return 64;
    }
    settings.kinds = Split(kinds);
    for (const std::string& k : settings.kinds)
        if (FindDamageKind(k) == nullptr) {
            std::cerr << "unknown kind " << k << " (see --list-kinds)\n";
            return 64;
        }
    settings.files = Split(files);
    settings.seeds.clear();
    for (int i = 0; i < std::max(1, seedCount); ++i) settings.seeds.push_back(firstSeed + static_cast<std::uint64_t>(i));
    if (settings.pagewright.empty()) {
#ifdef PAGEWRIGHT_CLI_PATH
        settings.pagewright = PAGEWRIGHT_CLI_PATH;
#endif
    }

    if (!corpus.empty()) setenv("PAGEWRIGHT_CORPUS_DIR", corpus.c_str(), 1);
    if (!pw::testing::CorpusAvailable()) {
        std::cerr << "The corpus folder is missing: " << pw::testing::CorpusDir().string() << "\n";
        return pw::testing::RunningInCi() ? 1 : kExitSkipped;
    }
    settings.corpus = pw::testing::CorpusDir();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(settings.pagewright, ec)) {
        std::cerr << "no pagewright binary at " << settings.pagewright << "\n";
        return 1;
    }
    settings.pagewright = std::filesystem::absolute(settings.pagewright);
    std::filesystem::create_directories(settings.outDir);
    // The dumps keep their own files (logs) here, not beside the binary.
    const std::filesystem::path state = settings.outDir / "state";
    setenv("PAGEWRIGHT_STATE_DIR", std::filesystem::absolute(state).c_str(), 1);

    const std::string when = UtcNow();
    const SuiteResult result = RunSuite(settings);
    if (result.filesRun.empty()) {
        std::cerr << "no corpus file matched\n";
        return 1;
    }

    ReportHeader header{when, settings.pagewright.string(), settings.seeds, settings.limits.seconds};
    const std::filesystem::path reportPath =
        report.empty() ? settings.outDir / "damage-report.md" : std::filesystem::path(report);
    std::ofstream(reportPath) << [&] {
        std::ostringstream text;
        WriteReport(text, header, result);
        return text.str();
    }();
    std::cout << "Damage suite, " << when << ", " << result.filesRun.size() << " files, full report in "
              << reportPath.string() << "\n\n";
    WriteSummary(std::cout, result.records);
    std::cout << "\n";
    WriteFindings(std::cout, result.records);

    int rc = 0;
    const auto totals = TotalsByKind(result.records);
    auto find = [&totals](const std::string& kind) -> const KindTotals* {
        for (const auto& [name, t] : totals)
            if (name == kind) return &t;
        return nullptr;
    };
    for (const Threshold& t : recoveredFloors) {
        const KindTotals* k = find(t.kind);
        if (k != nullptr && k->recoveredPercent() < t.percent) {
            std::cout << "FAIL: " << t.kind << " recovered " << k->recoveredPercent() << "% of the rows, below "
                      << t.percent << "%\n";
            rc = 1;
        }
    }
    for (const Threshold& t : garbageCeilings) {
        const KindTotals* k = find(t.kind);
        if (k != nullptr && k->garbagePercent() > t.percent) {
            std::cout << "FAIL: " << t.kind << " dumped " << k->garbagePercent() << "% garbage rows, above "
                      << t.percent << "%\n";
            rc = 1;
        }
    }
    if (failOnFindings)
        for (const RunRecord& r : result.records)
            if (IsFinding(r.outcome)) {
                std::cout << "FAIL: " << RunOutcomeName(r.outcome) << " in " << r.kind << " seed " << r.seed << " "
                          << r.file << "\n";
                rc = 1;
            }
    return rc;
}
