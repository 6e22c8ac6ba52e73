// The export run on its own, as the export dialog drives it: lines, the
// percentage and the Access target's messages arrive on the GUI thread in
// order while the worker goes on; a stop ends it as aborted; destroying a
// run at work stops it.
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/ExportRun.h"
#include "export/StatisticsLog.h"
#include "status/AppPaths.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

using pw::app::ExportRun;
namespace fs = std::filesystem;

namespace {

constexpr int kJobTimeoutMs = 60000;

// What reached the GUI thread, in the order it came.
struct Received {
    QStringList events;
    int percent = -1;
    bool finished = false;
    bool allOnGuiThread = true;

    void Listen(ExportRun& run, QObject& context) {
        const auto note = [this](const QString& event) {
            events << event;
            allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
        };
        QObject::connect(&run, &ExportRun::line, &context, [note](const QString& text) { note("line " + text); });
        QObject::connect(&run, &ExportRun::message, &context,
                         [note](const QString& text) { note("message " + text.left(27)); });
        QObject::connect(&run, &ExportRun::percent, &context, [this](int value) { percent = value; });
        QObject::connect(&run, &ExportRun::finished, &context, [this, note] {
            note("finished");
            finished = true;
        });
    }
};

}  // namespace

class ExportRunTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        using namespace pw::testing;
        dir_ = std::make_unique<TempDir>();
        pw::SetAppDirectory(*dir_ / "app");
        fs::create_directories(*dir_ / "app" / "Log Files");
        DatabaseBuilder db;
        const auto alpha = db.AddTable("Alpha", {Column("Id", type::kLong)});
        for (int i = 0; i < 3; ++i) db.AddRow(alpha, {Long(i)});
        // A column of a type the new database cannot take: a message.
        const auto odd = db.AddTable("Odd", {Column("N", type::kLong), Column("X", 13, 4)});
        db.AddRow(odd, {Long(5), Long(6)});
        const auto big = db.AddTable("Big", {Column("Id", type::kLong), Column("Name", type::kText)});
        for (int i = 0; i < 20000; ++i) db.AddRow(big, {Long(i), Text("row " + std::to_string(i))});
        WriteFile(*dir_ / "Shop.mdb", db.Build());
        file_ = std::make_unique<AnalysedFile>(*dir_ / "Shop.mdb");
        QVERIFY(file_->ok);
    }
    void cleanupTestCase() {
        file_.reset();
        pw::ResetAppDirectory();
        dir_.reset();
    }

    void anAccessRunPostsItsMessageInOrderAndEnds() {
        ExportRun run(file_->analysis.pages(), Settings(pw::ExportTarget::Access, Folder("access"), {"Odd", "Alpha"}),
                      "Shop", *dir_ / "stats-access.log");
        Received received;
        QObject context;
        received.Listen(run, context);
        run.Start();
        QTRY_VERIFY_WITH_TIMEOUT(received.finished, kJobTimeoutMs);
        run.Wait();
        QVERIFY(!run.running());
        QVERIFY(received.allOnGuiThread);
        QCOMPARE(received.events,
                 QStringList({"line Export Database started...", "line Export started  : Odd",
                              "message Create table query failed..", "line Export completed : Odd",
                              "line Export started  : Alpha", "line Export completed : Alpha",
                              "line Export completed Successfully...", "finished"}));
        QCOMPARE(received.percent, 100);
        QCOMPARE(run.outcome(), pw::ExportOutcome::Succeeded);
        QCOMPARE(QString::fromStdString(run.closingLine()), QString("Export completed Successfully..."));
        QCOMPARE(run.statistics().size(), std::size_t(2));
        QCOMPARE(run.statistics()[1].exportedRows, 3);
    }

    void aStopEndsTheRunAsAborted() {
        ExportRun run(file_->analysis.pages(),
                      Settings(pw::ExportTarget::Csv, Folder("stop"), std::vector<std::string>(50, "Big")), "Shop",
                      *dir_ / "stats-stop.log");
        // Asked to stop on the worker thread as the first table starts.
        run.onWorkerLine = [&run](const std::string& line) {
            if (line.rfind("Export started", 0) == 0) run.RequestStop();
        };
        Received received;
        QObject context;
        received.Listen(run, context);
        run.Start();
        QTRY_VERIFY_WITH_TIMEOUT(received.finished, kJobTimeoutMs);
        run.Wait();
        QCOMPARE(run.outcome(), pw::ExportOutcome::Aborted);
        QCOMPARE(received.events.at(received.events.size() - 2), QString("line Export Aborted by user..."));
        QCOMPARE(run.statistics().size(), std::size_t(1));
    }

    void destroyingARunAtWorkStopsIt() {
        QElapsedTimer clock;
        {
            auto run = std::make_unique<ExportRun>(
                file_->analysis.pages(),
                Settings(pw::ExportTarget::Csv, Folder("destroy"), std::vector<std::string>(300, "Big")), "Shop",
                *dir_ / "stats-destroy.log");
            Received received;
            QObject context;
            received.Listen(*run, context);
            run->Start();
            QTRY_VERIFY_WITH_TIMEOUT(received.events.size() >= 2, kJobTimeoutMs);
            QVERIFY(run->running());
            clock.start();
        }
        QVERIFY(clock.elapsed() < 10000);
        // Posts still queued for the gone run reach no one.
        QTest::qWait(50);
    }

private:
    pw::ExportSettings Settings(pw::ExportTarget target, const fs::path& folder,
                                const std::vector<std::string>& names) const {
        pw::ExportSettings settings;
        settings.target = target;
        settings.folder = folder;
        for (const std::string& name : names) settings.tables.push_back(file_->Table(name));
        return settings;
    }
    fs::path Folder(const std::string& name) const {
        const fs::path folder = *dir_ / name;
        fs::create_directories(folder);
        return folder;
    }

    std::unique_ptr<pw::testing::TempDir> dir_;
    std::unique_ptr<pw::testing::AnalysedFile> file_;
};

QTEST_MAIN(ExportRunTest)
#include "ExportRunTest.moc"
