// The export options dialog and the export dialog driven as a person would:
// check boxes, the folder picker, Export/Save, the export to its statistics,
// Stop and closing while the job runs.
#include <QApplication>
#include <QElapsedTimer>
#include <QDeadlineTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/ExportDialog.h"
#include "app/ExportOptionsDialog.h"
#include "app/ExportRun.h"
#include "app/Prompts.h"
#include "records/RowWalk.h"
#include "status/AppPaths.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

using pw::app::ExportDialog;
using pw::app::ExportOptionsDialog;
using pw::app::Prompts;
namespace fs = std::filesystem;

namespace {

// The export of this many copies of the big table takes seconds even on a fast
// machine, far more than a test needs to press Stop or close the dialog once
// the first table has started; a stop ends it within a few rows.
constexpr int kBigRows = 60000;
constexpr int kBigCopies = 300;
constexpr int kJobTimeoutMs = 60000;

QString ToQString(const fs::path& path) { return QString::fromStdString(path.string()); }

bool Checked(const QTreeWidgetItem* item) { return item->checkState(0) == Qt::Checked; }

// Where the tree draws the check box of an item, in viewport coordinates.
QPoint CheckBoxCentre(QTreeWidget* tree, QTreeWidgetItem* item) {
    QStyleOptionViewItem option;
    option.initFrom(tree);
    option.rect = tree->visualItemRect(item);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.checkState = item->checkState(0);
    option.text = item->text(0);
    return tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree).center();
}

// A radio button takes clicks on its circle and label only, not on the rest of
// its row.
void ClickRadio(QRadioButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void ClickCheckBox(QTreeWidget* tree, QTreeWidgetItem* item) {
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, CheckBoxCentre(tree, item));
}

void ClickLabel(QTreeWidget* tree, QTreeWidgetItem* item) {
    const QRect rect = tree->visualItemRect(item);
    const QPoint box = CheckBoxCentre(tree, item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(box.x() + 40, rect.center().y()));
}

QStringList Lines(QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

std::vector<std::pair<QString, QString>> StatisticsRows(QTreeWidget* view) {
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        rows.emplace_back(view->topLevelItem(i)->text(0), view->topLevelItem(i)->text(1));
    return rows;
}

void SaveScreenshot(QWidget& widget, const char* name) {
    const fs::path folder = PAGEWRIGHT_SCREENSHOT_DIR;
    fs::create_directories(folder);
    QVERIFY(widget.grab().save(ToQString(folder / name)));
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

class ExportDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void optionsStartWithEveryTableCheckedAndNoFolder();
    void cancelledBrowseChangesNothing();
    void checkBoxesFollowTheTreeRules();
    void spaceBarTogglesTheSelectedTable();
    void choosingAnotherTargetAsksForTheFolderAgain();
    void aCsvFolderThatCannotBeMadeKeepsTheDialogOpen();
    void csvExportRunsToTheStatistics();
    void accessExportWritesADatabaseThatReadsBack();
    void refusedValuesCloseTheExportWithLosses();
    void stopEndsTheExportAsAborted();
    void closingWhileRunningAsksFirst();
    void closingWhileAMessageWaitsDoesNotHang();
    void anOpenMessageDoesNotHoldTheExport();
    void messagesAreShownOneAtATime();
    void destroyingWhileRunningDoesNotHang();

private:
    std::vector<pw::TableInfo> Tables(const std::vector<std::string>& names) const;
    std::vector<pw::TableInfo> BigCopies() const;
    pw::ExportSettings Settings(pw::ExportTarget target, const fs::path& folder,
                                std::vector<pw::TableInfo> tables) const;
    fs::path NewFolder(const std::string& name) const;
    void ShowAndWait(QWidget& widget);

    std::unique_ptr<pw::testing::TempDir> dir_;
    std::unique_ptr<pw::testing::AnalysedFile> file_;
};

void ExportDialogsTest::initTestCase() {
    using namespace pw::testing;
    dir_ = std::make_unique<TempDir>();
    fs::create_directories(*dir_ / "app" / "Log Files");
    pw::SetAppDirectory(*dir_ / "app");

    DatabaseBuilder db;
    const auto alpha = db.AddTable("Alpha", {Column("Id", type::kLong), Column("Name", type::kText)});
    for (int i = 0; i < 3; ++i) db.AddRow(alpha, {Long(i), Text("a" + std::to_string(i))});
    const auto beta = db.AddTable("Beta", {Column("N", type::kLong)});
    for (int i = 0; i < 500; ++i) db.AddRow(beta, {Long(i)});
    const auto gamma = db.AddTable("Gamma", {Column("Flag", type::kBit)});
    db.AddRow(gamma, {Bit(true)});
    db.AddRow(gamma, {Bit(false)});
    // A column of a type the new database cannot take: its CREATE TABLE fails
    // and the Access export shows a message.
    const auto odd = db.AddTable("Odd", {Column("N", type::kLong), Column("X", 13, 4)});
    db.AddRow(odd, {Long(5), Long(6)});
    const auto big = db.AddTable("Big", {Column("Id", type::kLong), Column("Name", type::kText)});
    for (int i = 0; i < kBigRows; ++i) db.AddRow(big, {Long(i), Text("row " + std::to_string(i))});
    // Decimals whose digits outrun their column's precision: the new database
    // refuses them and keeps their records with the field empty.
    const auto prices = db.AddTable("Prices", {Column("Id", type::kLong), NumericColumn("Amount", 5, 2)});
    db.AddRow(prices, {Long(1), Numeric(12345)});
    db.AddRow(prices, {Long(2), Numeric(987654321)});
    db.AddRow(prices, {Long(3), Numeric(100000)});
    WriteFile(*dir_ / "Shop.mdb", db.Build());
    file_ = std::make_unique<AnalysedFile>(*dir_ / "Shop.mdb");
    QVERIFY(file_->ok);
}

void ExportDialogsTest::cleanup() { Prompts::Instance().Reset(); }

void ExportDialogsTest::cleanupTestCase() {
    file_.reset();
    pw::ResetAppDirectory();
    dir_.reset();
}

std::vector<pw::TableInfo> ExportDialogsTest::Tables(const std::vector<std::string>& names) const {
    std::vector<pw::TableInfo> tables;
    for (const std::string& name : names) tables.push_back(file_->Table(name));
    return tables;
}

std::vector<pw::TableInfo> ExportDialogsTest::BigCopies() const {
    return std::vector<pw::TableInfo>(kBigCopies, file_->Table("Big"));
}

pw::ExportSettings ExportDialogsTest::Settings(pw::ExportTarget target, const fs::path& folder,
                                               std::vector<pw::TableInfo> tables) const {
    pw::ExportSettings settings;
    settings.target = target;
    settings.content = pw::ExportContent::SchemaAndData;
    settings.folder = folder;
    settings.tables = std::move(tables);
    return settings;
}

fs::path ExportDialogsTest::NewFolder(const std::string& name) const {
    const fs::path folder = *dir_ / name;
    fs::create_directories(folder);
    return folder;
}

void ExportDialogsTest::ShowAndWait(QWidget& widget) {
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

void ExportDialogsTest::optionsStartWithEveryTableCheckedAndNoFolder() {
    ExportOptionsDialog dialog("Shop", Tables({"Alpha", "Beta", "Gamma"}));
    ShowAndWait(dialog);
    QCOMPARE(dialog.windowTitle(), QString("Pagewright Export Option"));
    QVERIFY(dialog.accessButton()->isChecked());
    QVERIFY(!dialog.csvButton()->isChecked());
    QVERIFY(!dialog.schemaOnlyButton()->isChecked());
    QVERIFY(!dialog.exportButton()->isEnabled());
    QVERIFY(!dialog.tablesTree()->isEnabled());
    QVERIFY(dialog.browseButton()->isEnabled());

    QTreeWidget* tree = dialog.tablesTree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QCOMPARE(root->text(0), QString("Shop"));
    QCOMPARE(root->childCount(), 1);
    QTreeWidgetItem* tables = root->child(0);
    QCOMPARE(tables->text(0), QString("TABLES"));
    QVERIFY(Checked(root) && Checked(tables));
    QCOMPARE(tables->childCount(), 3);
    QCOMPARE(tables->child(0)->text(0), QString("Alpha"));
    QCOMPARE(tables->child(1)->text(0), QString("Beta"));
    QCOMPARE(tables->child(2)->text(0), QString("Gamma"));
    for (int i = 0; i < 3; ++i) QVERIFY(Checked(tables->child(i)));
}

void ExportDialogsTest::cancelledBrowseChangesNothing() {
    ExportOptionsDialog dialog("Shop", Tables({"Alpha"}));
    ShowAndWait(dialog);
    int asked = 0;
    Prompts::Instance().chooseFolder = [&](QWidget*) {
        ++asked;
        return QString();
    };
    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    QCOMPARE(asked, 1);
    QVERIFY(!dialog.exportButton()->isEnabled());
    QVERIFY(!dialog.tablesTree()->isEnabled());
    QVERIFY(dialog.isVisible());
}

void ExportDialogsTest::checkBoxesFollowTheTreeRules() {
    ExportOptionsDialog dialog("Shop", Tables({"Alpha", "Beta", "Gamma"}));
    ShowAndWait(dialog);
    const fs::path out = NewFolder("rules");
    Prompts::Instance().chooseFolder = [&](QWidget*) { return ToQString(out); };
    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    QVERIFY(dialog.tablesTree()->isEnabled());
    QVERIFY(dialog.exportButton()->isEnabled());

    QTreeWidget* tree = dialog.tablesTree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QTreeWidgetItem* tables = root->child(0);
    QTreeWidgetItem* alpha = tables->child(0);
    QTreeWidgetItem* beta = tables->child(1);
    QTreeWidgetItem* gamma = tables->child(2);

    // One table less: "TABLES" no longer stands for all, the database node does.
    ClickCheckBox(tree, beta);
    QVERIFY(!Checked(beta));
    QVERIFY(!Checked(tables));
    QVERIFY(Checked(root));
    QVERIFY(Checked(alpha) && Checked(gamma));
    QVERIFY(dialog.exportButton()->isEnabled());

    // The label is not the check box.
    ClickLabel(tree, alpha);
    QVERIFY(Checked(alpha));

    ClickCheckBox(tree, alpha);
    ClickCheckBox(tree, gamma);
    QVERIFY(!Checked(alpha) && !Checked(beta) && !Checked(gamma));
    QVERIFY(!dialog.exportButton()->isEnabled());

    ClickCheckBox(tree, beta);
    QVERIFY(Checked(beta));
    QVERIFY(!Checked(tables));
    QVERIFY(Checked(root));
    QVERIFY(dialog.exportButton()->isEnabled());

    ClickCheckBox(tree, tables);
    QVERIFY(Checked(tables) && Checked(root));
    QVERIFY(Checked(alpha) && Checked(beta) && Checked(gamma));
    QVERIFY(dialog.exportButton()->isEnabled());

    ClickCheckBox(tree, tables);
    QVERIFY(!Checked(tables) && !Checked(root));
    QVERIFY(!Checked(alpha) && !Checked(beta) && !Checked(gamma));
    QVERIFY(!dialog.exportButton()->isEnabled());

    ClickCheckBox(tree, root);
    QVERIFY(Checked(tables) && Checked(root));
    QVERIFY(Checked(alpha) && Checked(beta) && Checked(gamma));
    QVERIFY(dialog.exportButton()->isEnabled());

    ClickCheckBox(tree, root);
    QVERIFY(!Checked(tables) && !Checked(root));
    QVERIFY(!Checked(alpha) && !Checked(beta) && !Checked(gamma));
    QVERIFY(!dialog.exportButton()->isEnabled());

    ClickCheckBox(tree, gamma);
    ClickRadio(dialog.schemaOnlyButton());
    QTest::mouseClick(dialog.exportButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.target(), pw::ExportTarget::Access);
    QCOMPARE(dialog.content(), pw::ExportContent::SchemaOnly);
    QCOMPARE(dialog.folder(), out);
    QCOMPARE(dialog.chosenTables().size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(dialog.chosenTables()[0].name), QString("Gamma"));
}

void ExportDialogsTest::spaceBarTogglesTheSelectedTable() {
    ExportOptionsDialog dialog("Shop", Tables({"Alpha", "Beta"}));
    ShowAndWait(dialog);
    const fs::path out = NewFolder("space");
    Prompts::Instance().chooseFolder = [&](QWidget*) { return ToQString(out); };
    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    QTreeWidget* tree = dialog.tablesTree();
    QTreeWidgetItem* tables = tree->topLevelItem(0)->child(0);
    tree->setCurrentItem(tables->child(1));
    QTest::keyClick(tree, Qt::Key_Space);
    QVERIFY(!Checked(tables->child(1)));
    QVERIFY(!Checked(tables));
    QTest::keyClick(tree, Qt::Key_Space);
    QVERIFY(Checked(tables->child(1)));
}

void ExportDialogsTest::choosingAnotherTargetAsksForTheFolderAgain() {
    ExportOptionsDialog dialog("Shop", Tables({"Alpha"}));
    ShowAndWait(dialog);
    const fs::path out = NewFolder("target");
    Prompts::Instance().chooseFolder = [&](QWidget*) { return ToQString(out); };
    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    QVERIFY(dialog.exportButton()->isEnabled());

    ClickRadio(dialog.csvButton());
    QVERIFY(dialog.csvButton()->isChecked());
    QVERIFY(!dialog.exportButton()->isEnabled());
    // With no folder the check boxes cannot enable Export/Save.
    QTreeWidget* tree = dialog.tablesTree();
    QTreeWidgetItem* alpha = tree->topLevelItem(0)->child(0)->child(0);
    ClickCheckBox(tree, alpha);
    ClickCheckBox(tree, alpha);
    QVERIFY(Checked(alpha));
    QVERIFY(!dialog.exportButton()->isEnabled());

    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    QVERIFY(dialog.exportButton()->isEnabled());
}

void ExportDialogsTest::aCsvFolderThatCannotBeMadeKeepsTheDialogOpen() {
    ExportOptionsDialog dialog("Shop", Tables({"Alpha"}));
    ShowAndWait(dialog);
    const fs::path out = NewFolder("blocked");
    Prompts::Instance().chooseFolder = [&](QWidget*) { return ToQString(out); };
    QStringList told;
    Prompts::Instance().tell = [&](QWidget*, const QString& text) { told << text; };
    ClickRadio(dialog.csvButton());
    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    // The folder turns into a file after it was chosen: nothing can be made in it.
    fs::remove(out);
    std::ofstream(out) << "not a folder";
    QTest::mouseClick(dialog.exportButton(), Qt::LeftButton);
    QCOMPARE(told.size(), 1);
    QVERIFY(told[0].contains(ToQString(out)));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void ExportDialogsTest::csvExportRunsToTheStatistics() {
    ExportOptionsDialog options("Shop", Tables({"Alpha", "Beta", "Gamma"}));
    ShowAndWait(options);
    const fs::path out = NewFolder("csv");
    Prompts::Instance().chooseFolder = [&](QWidget*) { return ToQString(out); };
    ClickRadio(options.csvButton());
    QTest::mouseClick(options.browseButton(), Qt::LeftButton);
    QVERIFY(options.exportButton()->isEnabled());
    SaveScreenshot(options, "export-options.png");
    QTest::mouseClick(options.exportButton(), Qt::LeftButton);
    QCOMPARE(options.result(), int(QDialog::Accepted));
    QCOMPARE(options.target(), pw::ExportTarget::Csv);
    QCOMPARE(options.content(), pw::ExportContent::SchemaAndData);
    const fs::path folder = options.folder();
    QCOMPARE(folder.parent_path(), out);
    QVERIFY(folder.filename().string().rfind("Pagewright_(DATE=", 0) == 0);
    QVERIFY(fs::is_directory(folder));
    QCOMPARE(options.chosenTables().size(), std::size_t(3));

    pw::ExportSettings settings = Settings(options.target(), folder, options.chosenTables());
    settings.content = options.content();
    ExportDialog dialog(file_->analysis.pages(), settings, "Shop");
    QCOMPARE(dialog.windowTitle(), QString("Pagewright Export"));
    QCOMPARE(dialog.percentText(), QString("0 %"));
    QSignalSpy ended(&dialog, &ExportDialog::jobFinished);
    ShowAndWait(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.okButton()->isVisible(), kJobTimeoutMs);
    QCOMPARE(ended.count(), 1);
    QVERIFY(dialog.workerEnded());
    QCOMPARE(dialog.outcome(), pw::ExportOutcome::Succeeded);
    QCOMPARE(dialog.closingLine(), QString("Export completed Successfully..."));
    QCOMPARE(
        Lines(dialog.linesView()),
        QStringList({"Export completed Successfully...", "Export completed : Gamma",
                     "Export started  : Gamma", "Export completed : Beta", "Export started  : Beta",
                     "Export completed : Alpha", "Export started  : Alpha", "Export Database started..."}));
    QCOMPARE(dialog.percentText(), QString("100%"));
    QVERIFY(!dialog.linesView()->isVisible());
    QVERIFY(!dialog.stopButton()->isVisible());
    QVERIFY(dialog.statisticsView()->isVisible());

    QTreeWidget* view = dialog.statisticsView();
    // No value was refused: that column stays out of view.
    QCOMPARE(view->columnCount(), 3);
    QCOMPARE(view->headerItem()->text(0), QString("Table Names"));
    QCOMPARE(view->headerItem()->text(1), QString("No. Of Records"));
    QVERIFY(view->isColumnHidden(2));
    const std::vector<std::pair<QString, QString>> expected = {
        {"Alpha", "3"}, {"Beta", "500"}, {"Gamma", "2"}};
    QCOMPARE(StatisticsRows(view), expected);
    QVERIFY(view->topLevelItem(0)->textAlignment(1) & Qt::AlignRight);

    for (const char* name : {"Alpha.csv", "Beta.csv", "Gamma.csv", "Damage Report.txt", "Damage Report.json"})
        QVERIFY(fs::exists(folder / name));
    QVERIFY(fs::exists(*dir_ / "app" / "Export Statistics.log"));
    SaveScreenshot(dialog, "export-statistics.png");

    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void ExportDialogsTest::accessExportWritesADatabaseThatReadsBack() {
    const fs::path out = NewFolder("access");
    QStringList told;
    bool toldOnGuiThread = true;
    Prompts::Instance().tell = [&](QWidget*, const QString& text) {
        told << text;
        toldOnGuiThread = toldOnGuiThread && QThread::currentThread() == qApp->thread();
    };
    ExportDialog dialog(file_->analysis.pages(),
                        Settings(pw::ExportTarget::Access, out, Tables({"Alpha", "Odd", "Gamma"})), "Shop");
    ShowAndWait(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.okButton()->isVisible(), kJobTimeoutMs);
    QCOMPARE(dialog.outcome(), pw::ExportOutcome::Succeeded);
    QCOMPARE(told.size(), 1);
    QVERIFY(told[0].startsWith("Create table query failed.. \r\nCREATE TABLE [Odd]"));
    QVERIFY(toldOnGuiThread);
    const std::vector<std::pair<QString, QString>> expected = {{"Alpha", "3"}, {"Odd", "0"}, {"Gamma", "2"}};
    QCOMPARE(StatisticsRows(dialog.statisticsView()), expected);

    // The database and, named after it, its damage report for a person and a program.
    const std::vector<fs::path> files = FilesIn(out);
    QCOMPARE(files.size(), std::size_t(3));
    const fs::path database = files[2];
    QVERIFY(database.filename().string().rfind("Recovered_Shop_On_", 0) == 0);
    QCOMPARE(database.extension().string(), std::string(".mdb"));
    const std::string stem = database.stem().string();
    QCOMPARE(files[0].filename().string(), stem + " - Damage Report.json");
    QCOMPARE(files[1].filename().string(), stem + " - Damage Report.txt");
    QCOMPARE(dialog.closingLine(), QString("Export completed Successfully..."));
    QVERIFY(dialog.summaryDetail().isEmpty());

    pw::testing::AnalysedFile written(database);
    QVERIFY(written.ok);
    const pw::TableInfo* alpha = written.Find("Alpha");
    QVERIFY(alpha != nullptr);
    QStringList rows;
    pw::RowWalker walker(written.analysis.pages(), *alpha, written.control());
    while (walker.Next()) {
        if (walker.row().kind != pw::SlotKind::Live) continue;
        QStringList cells;
        for (const pw::CellValue& cell : walker.row().cells) cells << QString::fromStdString(cell.text);
        rows << cells.join("|");
    }
    QCOMPARE(rows, QStringList({"0|a0", "1|a1", "2|a2"}));
    QVERIFY(written.Find("Gamma") != nullptr);
}

void ExportDialogsTest::refusedValuesCloseTheExportWithLosses() {
    const fs::path out = NewFolder("refused");
    ExportDialog dialog(file_->analysis.pages(), Settings(pw::ExportTarget::Access, out, Tables({"Alpha", "Prices"})),
                        "Shop");
    ShowAndWait(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.okButton()->isVisible(), kJobTimeoutMs);
    QCOMPARE(dialog.outcome(), pw::ExportOutcome::Succeeded);
    QCOMPARE(dialog.closingLine(), QString("Export completed with losses"));
    QCOMPARE(Lines(dialog.linesView()).front(), QString("Export completed with losses"));
    QVERIFY(!Lines(dialog.linesView()).contains("Export completed Successfully..."));
    QVERIFY(dialog.summaryLabel()->isVisible());
    QVERIFY(dialog.summaryLabel()->text().startsWith("Export completed with losses\n"));
    QVERIFY2(dialog.summaryDetail().contains("refused 2 values"), qPrintable(dialog.summaryDetail()));
    QVERIFY2(dialog.summaryDetail().contains(" - Damage Report.txt\""), qPrintable(dialog.summaryDetail()));

    QTreeWidget* view = dialog.statisticsView();
    QVERIFY(!view->isColumnHidden(2));
    QCOMPARE(view->headerItem()->text(2), QString("Values Refused"));
    QCOMPARE(view->topLevelItemCount(), 2);
    QCOMPARE(view->topLevelItem(0)->text(2), QString());
    QCOMPARE(view->topLevelItem(1)->text(0), QString("Prices"));
    QCOMPARE(view->topLevelItem(1)->text(1), QString("3"));
    QCOMPARE(view->topLevelItem(1)->text(2), QString("2"));

    const fs::path report = dialog.run().damageReportFile();
    QVERIFY(fs::exists(report));
    QCOMPARE(report.parent_path(), out);
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QVERIFY2(text.find("Values the new database refused: 2") != std::string::npos, text.c_str());
    SaveScreenshot(dialog, "export-statistics-refused.png");
}

void ExportDialogsTest::stopEndsTheExportAsAborted() {
    const fs::path out = NewFolder("stop");
    QStringList asked;
    Prompts::Instance().ask = [&](QWidget*, const QString& question) {
        asked << question;
        return true;
    };
    ExportDialog dialog(file_->analysis.pages(), Settings(pw::ExportTarget::Csv, out, BigCopies()), "Shop");
    ShowAndWait(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.linesView()->count() >= 2, kJobTimeoutMs);
    QVERIFY(!dialog.workerEnded());
    QTest::mouseClick(dialog.stopButton(), Qt::LeftButton);
    QCOMPARE(asked, QStringList({"Are you sure you want stop the export process ?"}));
    QTRY_VERIFY_WITH_TIMEOUT(dialog.okButton()->isVisible(), kJobTimeoutMs);
    QCOMPARE(dialog.outcome(), pw::ExportOutcome::Aborted);
    QCOMPARE(dialog.closingLine(), QString("Export Aborted by user..."));
    QCOMPARE(dialog.linesView()->item(0)->text(), QString("Export Aborted by user..."));
    QVERIFY(!dialog.stopButton()->isEnabled());
    // Only the tables the walk reached are listed, the last one cut short.
    const auto rows = StatisticsRows(dialog.statisticsView());
    QVERIFY(!rows.empty());
    QVERIFY(rows.size() < std::size_t(kBigCopies));
    QVERIFY(rows.back().second.toInt() <= kBigRows);
}

void ExportDialogsTest::closingWhileRunningAsksFirst() {
    const fs::path out = NewFolder("close");
    int asked = 0;
    bool answer = false;
    Prompts::Instance().ask = [&](QWidget*, const QString&) {
        ++asked;
        return answer;
    };
    ExportDialog dialog(file_->analysis.pages(), Settings(pw::ExportTarget::Csv, out, BigCopies()), "Shop");
    ShowAndWait(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.linesView()->count() >= 2, kJobTimeoutMs);

    dialog.close();
    QCOMPARE(asked, 1);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.workerEnded());
    QTest::qWait(100);
    QVERIFY(!dialog.workerEnded());

    answer = true;
    QElapsedTimer clock;
    clock.start();
    dialog.close();
    QCOMPARE(asked, 2);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 10000);
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY(dialog.workerEnded());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialog.outcome() == pw::ExportOutcome::Aborted);
}

void ExportDialogsTest::closingWhileAMessageWaitsDoesNotHang() {
    const fs::path out = NewFolder("message");
    auto* dialog = new ExportDialog(
        file_->analysis.pages(), Settings(pw::ExportTarget::Access, out, Tables({"Odd", "Alpha"})), "Shop");
    Prompts::Instance().ask = [](QWidget*, const QString&) { return true; };
    // The worker is held at the next table until the close has asked it to
    // stop, so that the close meets a run still at work.
    dialog->run().onWorkerLine = [dialog](const std::string& line) {
        if (line.find("Alpha") == std::string::npos) return;
        const QDeadlineTimer deadline(10000);
        while (!dialog->run().stopRequested() && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    // The person closes the dialog while the message of the failed table is
    // still open.
    int told = 0;
    Prompts::Instance().tell = [&](QWidget*, const QString&) {
        ++told;
        dialog->close();
    };
    ShowAndWait(*dialog);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), kJobTimeoutMs);
    QCOMPARE(told, 1);
    QVERIFY(dialog->workerEnded());
    QCOMPARE(dialog->outcome(), pw::ExportOutcome::Aborted);
    delete dialog;
}

void ExportDialogsTest::anOpenMessageDoesNotHoldTheExport() {
    const fs::path out = NewFolder("open-message");
    ExportDialog dialog(file_->analysis.pages(),
                        Settings(pw::ExportTarget::Access, out, Tables({"Odd", "Alpha", "Gamma"})), "Shop");
    // The message stays open, this thread's events not running, until the
    // worker has written every table and ended, or ten seconds have passed.
    bool endedWhileOpen = false;
    Prompts::Instance().tell = [&](QWidget*, const QString&) {
        const QDeadlineTimer deadline(10000);
        while (dialog.run().running() && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        endedWhileOpen = !dialog.run().running();
    };
    ShowAndWait(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.okButton()->isVisible(), kJobTimeoutMs);
    QVERIFY(endedWhileOpen);
    QCOMPARE(dialog.outcome(), pw::ExportOutcome::Succeeded);
    const std::vector<std::pair<QString, QString>> expected = {{"Odd", "0"}, {"Alpha", "3"}, {"Gamma", "2"}};
    QCOMPARE(StatisticsRows(dialog.statisticsView()), expected);
}

void ExportDialogsTest::messagesAreShownOneAtATime() {
    const fs::path out = NewFolder("messages");
    // Three tables whose CREATE TABLE fails: three messages, each shown once
    // the one before it was seen, never one box over another.
    ExportDialog dialog(file_->analysis.pages(),
                        Settings(pw::ExportTarget::Access, out, Tables({"Odd", "Odd", "Odd", "Alpha"})), "Shop");
    int open = 0;
    int mostOpen = 0;
    QStringList told;
    Prompts::Instance().tell = [&](QWidget*, const QString& text) {
        ++open;
        mostOpen = std::max(mostOpen, open);
        told << text;
        // What a message box's own loop does while it waits for OK.
        QTest::qWait(50);
        --open;
    };
    ShowAndWait(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.okButton()->isVisible(), kJobTimeoutMs);
    QCOMPARE(told.size(), 3);
    QCOMPARE(mostOpen, 1);
    for (const QString& text : told) QVERIFY(text.startsWith("Create table query failed.. \r\nCREATE TABLE [Odd"));
}

void ExportDialogsTest::destroyingWhileRunningDoesNotHang() {
    const fs::path out = NewFolder("destroy");
    auto* dialog =
        new ExportDialog(file_->analysis.pages(), Settings(pw::ExportTarget::Csv, out, BigCopies()), "Shop");
    ShowAndWait(*dialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->linesView()->count() >= 2, kJobTimeoutMs);
    QElapsedTimer clock;
    clock.start();
    delete dialog;
    QVERIFY(clock.elapsed() < 10000);
    // The folder holds what was written up to the stop: far from every copy.
    QVERIFY(FilesIn(out).size() < std::size_t(kBigCopies));
}

QTEST_MAIN(ExportDialogsTest)
#include "ExportDialogsTest.moc"
