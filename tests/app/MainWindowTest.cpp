// The main window driven as a person would: choose a file, recover it, page
// through a table, stop a recovery, close the window mid-scan.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QTextBrowser>
#include <QToolButton>
#include <QRadioButton>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "app/DamageView.h"
#include "app/ExportDialog.h"
#include "app/ExportRun.h"
#include "app/ExportOptionsDialog.h"
#include "app/MainWindow.h"
#include "app/PreviewModel.h"
#include "app/Prompts.h"
#include "app/RecoveryJob.h"
#include "app/RecoveryProgressDialog.h"
#include "app/TablesTree.h"
#include "status/AppPaths.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

using namespace pw;
using namespace pw::app;
using namespace pw::testing;

namespace {

void SaveScreenshot(QWidget* widget, const QString& name) {
    QDir().mkpath(PAGEWRIGHT_SCREENSHOT_DIR);
    QVERIFY(widget->grab().save(QString(PAGEWRIGHT_SCREENSHOT_DIR) + "/" + name));
}

// "Orders": 250 rows; "Notes": 3 rows, one of them deleted.
std::filesystem::path WriteShop(const TempDir& dir) {
    DatabaseBuilder db;
    const auto orders = db.AddTable("Orders", {Column("Id", type::kLong), Column("Item", type::kText),
                                               Column("Price", type::kCurrency), Column("Scan", type::kOle)});
    for (int i = 0; i < 250; ++i)
        db.AddRow(orders, {Long(i), Text("item " + std::to_string(i)), Currency(i * 10000),
                           db.LongBinary(Bytes{1, 2, 3})});
    const auto notes = db.AddTable("Notes", {Column("Text", type::kText)});
    db.AddRow(notes, {Text("kept")});
    db.AddRow(notes, {Text("gone")}, RowOptions{true, false, false, std::nullopt});
    db.AddRow(notes, {Text("also kept")});
    const auto path = dir / "Shop.mdb";
    WriteFile(path, db.Build());
    return path;
}

// A file large enough that a scan takes a moment.
std::filesystem::path WriteLarge(const TempDir& dir) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Big", {Column("N", type::kLong), Column("S", type::kText)});
    for (int i = 0; i < 60000; ++i) db.AddRow(t, {Long(i), Text(std::string(40, 'x'))});
    const auto path = dir / "Large.mdb";
    WriteFile(path, db.Build());
    return path;
}

QTreeWidgetItem* TableItem(MainWindow& w, const QString& name) {
    for (int i = 0; i < w.tablesItem()->childCount(); ++i)
        if (w.tablesItem()->child(i)->text(0) == name) return w.tablesItem()->child(i);
    return nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempDir> dir_;
    QStringList told_;

    // Opens `path` through Browse and runs Recover to its end.
    void RecoverFile(MainWindow& w, const std::filesystem::path& path) {
        Prompts::Instance().chooseFile = [path](QWidget*) { return QString::fromStdString(path.string()); };
        QTest::mouseClick(w.browseButton(), Qt::LeftButton);
        QCOMPARE(w.filePath(), QString::fromStdString(path.string()));
        QVERIFY(w.recoverButton()->isEnabled());
        QTest::mouseClick(w.recoverButton(), Qt::LeftButton);
        QVERIFY(w.progressDialog() != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(w.progressDialog()->stopButton()->text(), QString("Close"), 60000);
    }

private Q_SLOTS:
    void init() {
        dir_ = std::make_unique<TempDir>();
        SetAppDirectory(dir_->path());
        told_.clear();
        Prompts::Instance().Reset();
        Prompts::Instance().tell = [this](QWidget*, const QString& text) { told_ << text; };
        Prompts::Instance().ask = [](QWidget*, const QString&) { return true; };
    }
    void cleanup() {
        Prompts::Instance().Reset();
        ResetAppDirectory();
        dir_.reset();
    }

    void StartsWithOnlyBrowse() {
        MainWindow w;
        w.show();
        QVERIFY(w.browseButton()->isEnabled());
        QVERIFY(!w.recoverButton()->isEnabled());
        QVERIFY(!w.exportButton()->isEnabled());
        QVERIFY(!w.nextButton()->isEnabled());
        QVERIFY(!w.prevButton()->isEnabled());
        QCOMPARE(w.tree()->topLevelItem(0)->text(0), QString("DATABASE_NAME"));
        QCOMPARE(w.tablesItem()->text(0), QString("TABLES"));
        // Cancelling the file dialog changes nothing.
        Prompts::Instance().chooseFile = [](QWidget*) { return QString(); };
        QTest::mouseClick(w.browseButton(), Qt::LeftButton);
        QVERIFY(!w.recoverButton()->isEnabled());
        QVERIFY(w.filePath().isEmpty());
    }

    void RecoverFillsTheTreeAndTheProgressDialog() {
        MainWindow w;
        w.show();
        RecoverFile(w, WriteShop(*dir_));
        RecoveryProgressDialog* progress = w.progressDialog();
        QCOMPARE(progress->lines()->item(0)->text(), QString("Recovery Completed"));
        QCOMPARE(progress->bar()->value(), 100);
        QCOMPARE(progress->percentText(), QString("100%"));
        QCOMPARE(progress->tablesFoundText(), QString("2 (2)"));
        QCOMPARE(progress->stageText(), QString("Finished"));
        // Every status line is listed, the last one of the analysis too.
        QVERIFY(!progress->lines()->findItems("Initializing Tables.....", Qt::MatchExactly).isEmpty());
        SaveScreenshot(progress, "progress-dialog.png");
        QTest::mouseClick(progress->stopButton(), Qt::LeftButton);
        QVERIFY(!progress->isVisible());

        QCOMPARE(w.tree()->topLevelItem(0)->text(0), QString("Shop"));
        QTreeWidgetItem* orders = TableItem(w, "Orders");
        QVERIFY(orders != nullptr);
        QVERIFY(orders->font(0).bold());
        QCOMPARE(orders->childCount(), 4);
        QCOMPARE(orders->child(0)->text(0), QString("Id [COUNTER]"));
        QCOMPARE(orders->child(1)->text(0).left(11), QString("Item [TEXT("));
        QVERIFY(w.exportButton()->isEnabled());
        QVERIFY(w.damageView()->isVisible());
        QCOMPARE(w.damageView()->tree()->topLevelItem(0)->text(0), QString("No damage found"));
    }

    void PreviewPagesThroughTwoHundredFiftyRecords() {
        MainWindow w;
        w.show();
        RecoverFile(w, WriteShop(*dir_));
        w.progressDialog()->accept();
        w.tree()->setCurrentItem(TableItem(w, "Orders"));
        QTRY_COMPARE(w.recordCountLabel()->text(), QString("100"));
        QCOMPARE(w.pageLabel()->text(), QString("1"));
        QCOMPARE(w.tableNameLabel()->text(), QString("Orders"));
        QCOMPARE(w.content()->currentWidget(), static_cast<QWidget*>(w.previewView()));
        QVERIFY(w.nextButton()->isEnabled());
        QVERIFY(!w.prevButton()->isEnabled());
        PreviewModel* model = w.previewModel();
        QCOMPARE(model->data(model->index(0, 3), Qt::DisplayRole).toString(), QString("#OLE-OBJECT"));
        QCOMPARE(model->data(model->index(0, 1), Qt::DisplayRole).toString(), QString("item 0"));
        SaveScreenshot(&w, "main-window-preview.png");

        QTest::mouseClick(w.nextButton(), Qt::LeftButton);
        QTRY_COMPARE(w.pageLabel()->text(), QString("2"));
        QCOMPARE(w.recordCountLabel()->text(), QString("100"));
        QVERIFY(w.prevButton()->isEnabled());
        QCOMPARE(model->data(model->index(0, 1), Qt::DisplayRole).toString(), QString("item 100"));
        QTest::mouseClick(w.nextButton(), Qt::LeftButton);
        QTRY_COMPARE(w.pageLabel()->text(), QString("3"));
        QCOMPARE(w.recordCountLabel()->text(), QString("50"));
        QVERIFY(!w.nextButton()->isEnabled());
        QTest::mouseClick(w.prevButton(), Qt::LeftButton);
        QTRY_COMPARE(w.pageLabel()->text(), QString("2"));
        QCOMPARE(w.recordCountLabel()->text(), QString("100"));
        QCOMPARE(model->data(model->index(99, 1), Qt::DisplayRole).toString(), QString("item 199"));

        // A column of the same table keeps the page; another table starts at page 1.
        w.tree()->setCurrentItem(TableItem(w, "Orders")->child(2));
        QCOMPARE(w.pageLabel()->text(), QString("2"));
        w.tree()->setCurrentItem(TableItem(w, "Notes"));
        QTRY_COMPARE(w.tableNameLabel()->text(), QString("Notes"));
        QTRY_COMPARE(w.recordCountLabel()->text(), QString("2"));
        QCOMPARE(w.pageLabel()->text(), QString("1"));
        QVERIFY(!TableItem(w, "Orders")->isExpanded());

        // Withheld rows on request, marked in a last column.
        w.withheldToggle()->setChecked(true);
        QTRY_COMPARE(w.recordCountLabel()->text(), QString("3"));
        QCOMPARE(model->data(model->index(1, 1), Qt::DisplayRole).toString(), QString("deleted"));
        QVERIFY(model->data(model->index(1, 0), Qt::ForegroundRole).isValid());
        QVERIFY(!model->data(model->index(0, 0), Qt::ForegroundRole).isValid());
    }

    void ADamagedValueIsShownGreyedWithItsProblem() {
        DatabaseBuilder db;
        const auto t = db.AddTable("Notes", {Column("Id", type::kLong), Column("Body", type::kMemo)});
        LongValueOptions chain;
        chain.form = LongValueForm::Chain;
        chain.pieceSize = 1000;
        chain.pagePerRow = true;
        db.AddRow(t, {Long(1), db.Memo("whole", TextStorage::Ucs2)});
        db.AddRow(t, {Long(2), db.Memo(std::string(3000, 'b'), TextStorage::Compressed, chain)});
        auto bytes = db.Build();
        // The chain loses its second page: the memo is read only in part.
        ZeroPage(bytes, db.LongValuePages()[1]);
        const auto path = *dir_ / "memo.mdb";
        WriteFile(path, bytes);
        MainWindow w;
        w.show();
        RecoverFile(w, path);
        w.progressDialog()->accept();
        w.tree()->setCurrentItem(TableItem(w, "Notes"));
        QTRY_COMPARE(w.recordCountLabel()->text(), QString("2"));
        PreviewModel* model = w.previewModel();
        const QModelIndex intact = model->index(0, 1);
        const QModelIndex damaged = model->index(1, 1);
        QCOMPARE(model->data(intact, Qt::DisplayRole).toString(), QString("whole"));
        QVERIFY(!model->data(intact, Qt::ForegroundRole).isValid());
        QVERIFY(!model->data(intact, Qt::ToolTipRole).isValid());
        QVERIFY(model->data(damaged, Qt::ForegroundRole).isValid());
        const QString tip = model->data(damaged, Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith("Damaged value (") && !tip.contains("(none)"), qPrintable(tip));
        // The value's neighbour in the same row was read whole.
        QVERIFY(!model->data(model->index(1, 0), Qt::ForegroundRole).isValid());
        QCOMPARE(model->data(model->index(1, 0), Qt::DisplayRole).toString(), QString("2"));
    }

    void StopDuringTheScanAndClose() {
        const auto path = WriteLarge(*dir_);
        MainWindow w;
        w.show();
        Prompts::Instance().chooseFile = [path](QWidget*) { return QString::fromStdString(path.string()); };
        QTest::mouseClick(w.browseButton(), Qt::LeftButton);
        // The worker waits at its first line until Stop has been pressed.
        std::atomic<bool> reached{false}, pressed{false};
        RecoveryJob* job = nullptr;
        w.beforeRecoveryStarts = [&](RecoveryJob& started) {
            job = &started;
            started.onWorkerStatus = [&](const std::string& line) {
                if (line != "Analyzing started") return;
                reached = true;
                while (!pressed && !job->stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            };
        };
        QTest::mouseClick(w.recoverButton(), Qt::LeftButton);
        QVERIFY(job != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(reached || !job->running(), 20000);
        QTest::mouseClick(w.progressDialog()->stopButton(), Qt::LeftButton);
        pressed = true;
        QTRY_COMPARE_WITH_TIMEOUT(w.progressDialog()->stopButton()->text(), QString("Close"), 20000);
        QCOMPARE(w.progressDialog()->lines()->item(0)->text(), QString("Recovery Completed"));
        QCOMPARE(w.tablesItem()->childCount(), 0);
        QVERIFY(w.browseButton()->isEnabled());
        QTest::mouseClick(w.progressDialog()->stopButton(), Qt::LeftButton);
        QVERIFY(!w.progressDialog()->isVisible());
    }

    void ClosingTheWindowMidScanStopsTheJob() {
        const auto path = WriteLarge(*dir_);
        auto* w = new MainWindow;
        w->show();
        w->OpenFile(QString::fromStdString(path.string()));
        std::atomic<bool> reached{false};
        RecoveryJob* job = nullptr;
        w->beforeRecoveryStarts = [&](RecoveryJob& started) {
            job = &started;
            started.onWorkerStatus = [&](const std::string& line) {
                if (line != "Analyzing started") return;
                reached = true;
                // Held here until the window's close stops the job.
                while (!job->stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            };
        };
        QTest::mouseClick(w->recoverButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(reached || !job->running(), 20000);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(w->close());
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(!w->isVisible());
        delete w;
    }

    void ADamagedFileShowsItsGeneratedNameAndItsDamage() {
        DatabaseBuilder db;
        TableOptions omitted;
        omitted.catalog = CatalogEntryKind::Omitted;
        const auto t = db.AddTable("Lost", {Column("N", type::kLong)}, omitted);
        for (int i = 0; i < 5; ++i) db.AddRow(t, {Long(i)});
        auto bytes = db.Build();
        // A row slot that points outside its page.
        const auto page = static_cast<std::size_t>(db.DataPages(t).front());
        bytes[page * 4096 + 14] = 0xF0;
        bytes[page * 4096 + 15] = 0x1F;
        const auto path = *dir_ / "damaged.mdb";
        WriteFile(path, bytes);
        MainWindow w;
        w.show();
        RecoverFile(w, path);
        w.progressDialog()->accept();
        QCOMPARE(w.tablesItem()->childCount(), 1);
        QVERIFY(w.tablesItem()->child(0)->text(0).startsWith("Recovered Table"));
        QCOMPARE(w.damageView()->tree()->topLevelItem(0)->text(0), QString("Damage found"));
        SaveScreenshot(&w, "main-window-damaged.png");
        // Folded, the report leaves its room to the tables.
        const int treeHeight = w.tree()->height();
        QTest::mouseClick(w.damageView()->toggle(), Qt::LeftButton);
        QVERIFY(!w.damageView()->tree()->isVisible());
        QTRY_VERIFY(w.tree()->height() > treeHeight + w.damageView()->tree()->height() / 2);
    }

    void ARefusedFileIsExplained() {
        const auto path = *dir_ / "empty.mdb";
        WriteFile(path, {});
        MainWindow w;
        w.show();
        RecoverFile(w, path);
        QCOMPARE(told_.size(), 1);
        QVERIFY(told_[0].contains("This file is highly corrupted and cannot be recovered."));
        QVERIFY(told_[0].contains("empty file"));
        QVERIFY(w.progressDialog()->lines()->count() == 0 ||
                w.progressDialog()->lines()->item(0)->text() != "Recovery Completed");
        QVERIFY(!w.exportButton()->isEnabled());
    }

    void ExportFromTheMainWindowIntoANewAccessDatabase() {
        MainWindow w;
        w.show();
        RecoverFile(w, WriteShop(*dir_));
        w.progressDialog()->accept();
        const auto out = *dir_ / "out";
        std::filesystem::create_directories(out);
        Prompts::Instance().chooseFolder = [out](QWidget*) { return QString::fromStdString(out.string()); };
        QTest::mouseClick(w.exportButton(), Qt::LeftButton);
        ExportOptionsDialog* options = w.exportOptionsDialog();
        QVERIFY(options != nullptr && options->isVisible());
        QVERIFY(options->accessButton()->isChecked());
        QTest::mouseClick(options->browseButton(), Qt::LeftButton);
        QVERIFY(options->exportButton()->isEnabled());
        QTest::mouseClick(options->exportButton(), Qt::LeftButton);
        QTRY_VERIFY(w.exportDialog() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(w.exportDialog()->workerEnded(), 30000);
        QTRY_VERIFY(w.exportDialog()->okButton()->isVisible());
        QCOMPARE(w.exportDialog()->closingLine(), QString("Export completed Successfully..."));
        QVERIFY(w.exporting());
        QTest::mouseClick(w.exportDialog()->okButton(), Qt::LeftButton);
        QTRY_VERIFY(!w.exporting());
        QVERIFY(w.exportButton()->isEnabled());
        std::filesystem::path written;
        for (const auto& entry : std::filesystem::directory_iterator(out))
            if (entry.path().extension() == ".mdb") written = entry.path();
        QVERIFY(written.filename().string().rfind("Recovered_Shop_On_", 0) == 0);
        AnalysedFile back(written);
        QVERIFY(back.ok);
        QCOMPARE(back.Table("Orders").rowCount, 250);
    }

    void AnExportOfADamagedFileEndsWithLosses() {
        DatabaseBuilder db;
        const auto t = db.AddTable("Orders", {Column("N", type::kLong), Column("Item", type::kText)});
        for (int i = 0; i < 5; ++i) db.AddRow(t, {Long(i), Text("item " + std::to_string(i))});
        auto bytes = db.Build();
        // The first row's slot points outside its page: damage the report
        // counts, even though the row is found again where its bytes lie.
        const auto page = static_cast<std::size_t>(db.DataPages(t).front());
        bytes[page * 4096 + 14] = 0xF0;
        bytes[page * 4096 + 15] = 0x1F;
        const auto path = *dir_ / "damaged.mdb";
        WriteFile(path, bytes);
        MainWindow w;
        w.show();
        RecoverFile(w, path);
        w.progressDialog()->accept();
        QCOMPARE(w.damageView()->tree()->topLevelItem(0)->text(0), QString("Damage found"));

        const auto out = *dir_ / "csv";
        std::filesystem::create_directories(out);
        Prompts::Instance().chooseFolder = [out](QWidget*) { return QString::fromStdString(out.string()); };
        QTest::mouseClick(w.exportButton(), Qt::LeftButton);
        ExportOptionsDialog* options = w.exportOptionsDialog();
        QVERIFY(options != nullptr && options->isVisible());
        QTest::mouseClick(options->csvButton(), Qt::LeftButton, {}, QPoint(8, options->csvButton()->height() / 2));
        QVERIFY(options->csvButton()->isChecked());
        QTest::mouseClick(options->browseButton(), Qt::LeftButton);
        QTest::mouseClick(options->exportButton(), Qt::LeftButton);
        QTRY_VERIFY(w.exportDialog() != nullptr);
        ExportDialog* dialog = w.exportDialog();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->okButton()->isVisible(), 30000);
        QCOMPARE(dialog->outcome(), ExportOutcome::Succeeded);
        QCOMPARE(dialog->closingLine(), QString("Export completed with losses"));
        QVERIFY(dialog->summaryLabel()->text().startsWith("Export completed with losses"));
        QVERIFY2(dialog->summaryDetail().contains("damage report of the main window"),
                 qPrintable(dialog->summaryDetail()));
        QVERIFY2(dialog->summaryDetail().contains("\"Damage Report.txt\" in the export folder"),
                 qPrintable(dialog->summaryDetail()));
        QTreeWidget* statistics = dialog->statisticsView();
        QCOMPARE(statistics->topLevelItemCount(), 1);
        QCOMPARE(statistics->topLevelItem(0)->text(0), QString("Orders"));
        QCOMPARE(statistics->topLevelItem(0)->text(1), QString("5"));
        QVERIFY(statistics->isColumnHidden(2));
        // The folder the export made keeps the report it points to.
        const std::filesystem::path report = dialog->run().damageReportFile();
        QCOMPARE(report.filename().string(), std::string("Damage Report.txt"));
        QCOMPARE(report.parent_path().parent_path(), out);
        QVERIFY(std::filesystem::exists(report.parent_path() / "Orders.csv"));
        std::ifstream in(report);
        std::string first;
        std::getline(in, first);
        QVERIFY2(first.rfind("Damage found", 0) == 0, first.c_str());
        SaveScreenshot(dialog, "export-statistics-losses.png");
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QTRY_VERIFY(!w.exporting());
    }

    void AFileDroppedOnTheWindowIsChosen() {
        const auto path = WriteShop(*dir_);
        MainWindow w;
        w.show();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
        QCOMPARE(w.filePath(), QString::fromStdString(path.string()));
        QVERIFY(w.recoverButton()->isEnabled());
    }

    void HelpShowsTheBundledPage() {
        MainWindow w;
        w.show();
        w.ShowHelp();
        QTextBrowser* help = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* b = top->findChild<QTextBrowser*>(); b != nullptr && top->windowTitle() == "Pagewright Help") help = b;
        QVERIFY(help != nullptr);
        QVERIFY(help->toPlainText().contains("Recovering a file"));
        QVERIFY(help->toPlainText().contains("This file is highly corrupted and cannot be recovered."));
    }

    void ARealAccessFileFromTheCorpus() {
        if (!CorpusAvailable()) QSKIP("The corpus folder is missing");
        const auto path = CorpusDir() / "files" / "northwind_a.mdb";
        if (!std::filesystem::exists(path)) QSKIP("northwind_a.mdb is not in the corpus");
        MainWindow w;
        w.show();
        RecoverFile(w, path);
        w.progressDialog()->accept();
        QVERIFY(w.tablesItem()->childCount() >= 8);
        QTreeWidgetItem* customers = TableItem(w, "Customers");
        QVERIFY(customers != nullptr);
        w.tree()->setCurrentItem(customers);
        QTRY_COMPARE(w.recordCountLabel()->text(), QString("91"));
        SaveScreenshot(&w, "main-window-northwind.png");
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
