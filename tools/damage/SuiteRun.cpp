#include "tools/damage/SuiteRun.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "salvage/Analysis.h"
#include "tests/support/FileTools.h"
#include "tools/damage/DamageKinds.h"

namespace pw::damage {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct CorpusEntry {
    std::string name;
    fs::path path;
    json expected;
};

json ParseFile(const fs::path& path, bool& ok) {
    ok = false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return json();
    json document = json::parse(in, nullptr, false);
    ok = !document.is_discarded();
    return ok ? document : json();
}

// Definition pages of the intact file's tables, by name.
std::map<std::string, std::int32_t> DefinitionPages(const fs::path& path) {
    std::map<std::string, std::int32_t> pages;
    Analysis analysis;
    if (analysis.Run(path.string(), RunControl{}) != AnalysisOutcome::Completed) return pages;
    for (const TableInfo& table : analysis.tables()) pages.emplace(table.name, table.tdefPage);
    return pages;
}

// The user table whose definition a seed wipes: one with text values,
// drawn by the seed so that seeds cover different tables.
std::string ChooseTextTable(const json& expected, const std::map<std::string, std::int32_t>& pages,
                            std::uint64_t mixedSeed) {
    std::vector<std::string> candidates;
    for (const json& table : expected.value("tables", json::array())) {
        const std::string name = table.value("name", "");
        if (pages.count(name) != 0 && TextValueCount(table) > 0) candidates.push_back(name);
    }
    if (candidates.empty()) return {};
    return candidates[mixedSeed % candidates.size()];
}

RunOutcome Classify(const ChildResult& child, bool parsed) {
    switch (child.end) {
        case ChildEnd::TimedOut: return RunOutcome::Hang;
        case ChildEnd::Signalled: return RunOutcome::Crash;
        case ChildEnd::NotStarted: return RunOutcome::OtherExit;
        case ChildEnd::Exited: break;
    }
    // Sanitizer builds report a fault by exit code 1 with the report on stderr;
    // the caller looks at stderr for those.
    if (child.exitCode == 0) return parsed ? RunOutcome::Dumped : RunOutcome::BadJson;
    if (child.exitCode == 3) return parsed ? RunOutcome::DumpedWithLosses : RunOutcome::BadJson;
    if (child.exitCode == 1) return RunOutcome::Errors;
    if (child.exitCode == 2) return RunOutcome::Refused;
    return RunOutcome::OtherExit;
}

bool StderrShowsSanitizer(const fs::path& err) {
    std::ifstream in(err);
    std::string line;
    while (std::getline(in, line))
        if (line.find("ERROR: AddressSanitizer") != std::string::npos ||
            line.find("runtime error:") != std::string::npos ||
            line.find("ERROR: LeakSanitizer") != std::string::npos)
            return true;
    return false;
}

struct Task {
    std::string kind;
    std::uint64_t seed;
};

class Worker {
public:
    Worker(const SuiteSettings& settings, int id) : settings_(settings) {
        scratch_ = settings.outDir / "work" / std::to_string(id);
        fs::create_directories(scratch_);
    }

    std::vector<RunRecord> RunFile(const CorpusEntry& entry, const std::vector<Task>& tasks) {
        std::vector<RunRecord> records;
        const std::vector<std::uint8_t> original = testing::ReadFile(entry.path);
        const std::map<std::string, std::int32_t> pages = DefinitionPages(entry.path);
        ExtraRows extra;
        bool haveExtra = false;
        for (const Task& task : tasks) {
            RunRecord record;
            record.file = entry.name;
            record.kind = task.kind;
            record.seed = task.seed;
            const std::uint64_t mixed = MixSeed(task.seed, task.kind, entry.name);
            DamageTarget target;
            if (task.kind == "zero-one-definition") {
                record.textTable = ChooseTextTable(entry.expected, pages, mixed);
                if (!record.textTable.empty()) target.userTableDefinition = pages.at(record.textTable);
            }
            std::vector<std::uint8_t> bytes = original;
            ApplyDamage(task.kind, bytes, mixed, target);
            record.unchanged = bytes == original;

            const fs::path copy = scratch_ / (task.kind + "-" + std::to_string(task.seed) + "-" + entry.name);
            const fs::path out = scratch_ / "dump.json";
            const fs::path err = scratch_ / "dump.err";
            testing::WriteFile(copy, bytes);
            const ChildResult child =
                RunChild({settings_.pagewright.string(), "dump", copy.string()}, out, err, settings_.limits);
            record.exitCode = child.exitCode;
            record.signal = child.signal;
            record.seconds = child.seconds;
            bool parsed = false;
            const json dump = child.end == ChildEnd::Exited && (child.exitCode == 0 || child.exitCode == 3) ? ParseFile(out, parsed) : json();
            record.outcome = Classify(child, parsed);
            if (record.outcome == RunOutcome::Errors && StderrShowsSanitizer(err)) record.outcome = RunOutcome::Crash;
            if (task.kind == "intact" && !haveExtra) {
                extra = ExtraRowsOf(entry.expected, dump);
                haveExtra = true;
            }
            record.score = ScoreDump(entry.expected, dump, extra, record.textTable);
            if (IsFinding(record.outcome)) KeepFinding(copy, err);
            if (settings_.verbose) {
                std::lock_guard<std::mutex> lock(PrintMutex());
                std::cerr << entry.name << " " << task.kind << " seed " << task.seed << ": "
                          << RunOutcomeName(record.outcome) << ", " << record.score.rowsRecovered << "/"
                          << record.score.rowsExpected << " rows, " << record.score.garbageRows << " garbage, "
                          << child.seconds << " s\n";
            }
            if (!settings_.keepCopies) fs::remove(copy);
            records.push_back(std::move(record));
        }
        return records;
    }

    static std::mutex& PrintMutex() {
        static std::mutex mutex;
        return mutex;
    }

private:
    void KeepFinding(const fs::path& copy, const fs::path& err) {
        const fs::path findings = settings_.outDir / "findings";
        fs::create_directories(findings);
        std::error_code ec;
        fs::copy_file(copy, findings / copy.filename(), fs::copy_options::overwrite_existing, ec);
        fs::copy_file(err, findings / (copy.filename().string() + ".stderr"), fs::copy_options::overwrite_existing,
                      ec);
    }

    const SuiteSettings& settings_;
    fs::path scratch_;
};

}  // namespace

const char* RunOutcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Dumped: return "dumped";
        case RunOutcome::DumpedWithLosses: return "dumped-losses";
        case RunOutcome::Refused: return "refused";
        case RunOutcome::Errors: return "errors";
        case RunOutcome::BadJson: return "bad-json";
        case RunOutcome::Hang: return "HANG";
        case RunOutcome::Crash: return "CRASH";
        case RunOutcome::OtherExit: return "other-exit";
    }
    return "?";
}

SuiteResult RunSuite(const SuiteSettings& settings) {
    SuiteResult result;
    std::vector<CorpusEntry> entries;
    std::error_code ec;
    std::vector<fs::path> paths;
    for (const auto& e : fs::directory_iterator(settings.corpus / "files", ec))
        if (e.is_regular_file(ec)) paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& path : paths) {
        const std::string name = path.filename().string();
        if (!settings.files.empty() &&
            std::find(settings.files.begin(), settings.files.end(), name) == settings.files.end())
            continue;
        if (settings.maxFileBytes > 0 && static_cast<std::int64_t>(fs::file_size(path, ec)) > settings.maxFileBytes)
            continue;
        bool ok = false;
        json expected = ParseFile(settings.corpus / "expected" / (name + ".json"), ok);
        if (!ok) {
            result.filesSkipped.push_back(name + ": no readable expected JSON");
        } else if (expected.contains("error")) {
            result.filesSkipped.push_back(name + ": the reference could not read it");
        } else if (expected.value("format", "") == "JET3") {
            result.filesSkipped.push_back(name + ": JET3");
        } else {
            result.filesRun.push_back(name);
            entries.push_back({name, path, std::move(expected)});
        }
    }

    // The intact run comes first in every file: it tells which dumped rows
    // belong to tables the expected files leave out.
    std::vector<Task> tasks{{"intact", settings.seeds.front()}};
    for (const DamageKind& kind : AllDamageKinds()) {
        if (kind.name == "intact") continue;
        if (!settings.kinds.empty() &&
            std::find(settings.kinds.begin(), settings.kinds.end(), kind.name) == settings.kinds.end())
            continue;
        if (!kind.seeded) {
            tasks.push_back({kind.name, settings.seeds.front()});
            continue;
        }
        for (std::uint64_t seed : settings.seeds) tasks.push_back({kind.name, seed});
    }

    std::atomic<std::size_t> next{0};
    std::mutex resultMutex;
    std::vector<std::vector<RunRecord>> perFile(entries.size());
    auto work = [&](int id) {
        Worker worker(settings, id);
        for (std::size_t i = next++; i < entries.size(); i = next++) perFile[i] = worker.RunFile(entries[i], tasks);
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < std::max(1, settings.jobs); ++id) threads.emplace_back(work, id);
    for (std::thread& t : threads) t.join();
    for (auto& records : perFile)
        for (RunRecord& r : records) result.records.push_back(std::move(r));
    if (!settings.keepCopies) std::filesystem::remove_all(settings.outDir / "work", ec);
    return result;
}

}  // namespace pw::damage
