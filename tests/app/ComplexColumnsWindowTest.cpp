// Complex columns of real files in the main window, as a person meets them:
// the tree names each column by what it holds, and the preview lists an
// attachment cell's file names and a multi-value cell's values.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "app/MainWindow.h"
#include "app/PreviewModel.h"
#include "app/Prompts.h"
#include "app/RecoveryProgressDialog.h"
#include "app/TablesTree.h"
#include "status/AppPaths.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

using namespace pw;
using namespace pw::app;
using namespace pw::testing;

namespace {

// Without the corpus folder: a failure on a CI machine, skipped elsewhere.
#define REQUIRE_CORPUS_FILE(path)                                                                  \
    do {                                                                                           \
        if (!CorpusAvailable() || !std::filesystem::exists(path)) {                                \
            const QByteArray why = ("The corpus file is missing: " + (path).string()).c_str();     \
            if (RunningInCi()) QFAIL(why.constData());                                             \
            QSKIP(why.constData());                                                                \
        }                                                                                          \
    } while (false)

std::filesystem::path CorpusFilePath(const char* name) { return CorpusDir() / "files" / name; }

void SaveScreenshot(QWidget* widget, const QString& name) {
    QDir().mkpath(PAGEWRIGHT_SCREENSHOT_DIR);
    QVERIFY(widget->grab().save(QString(PAGEWRIGHT_SCREENSHOT_DIR) + "/" + name));
}

QTreeWidgetItem* TableItem(MainWindow& w, const QString& name) {
    for (int i = 0; i < w.tablesItem()->childCount(); ++i)
        if (w.tablesItem()->child(i)->text(0) == name) return w.tablesItem()->child(i);
    return nullptr;
}

QStringList ColumnLabels(QTreeWidgetItem* table) {
    QStringList labels;
    for (int i = 0; i < table->childCount(); ++i) labels << table->child(i)->text(0);
    return labels;
}

int ColumnNamed(const PreviewModel& model, const QString& name) {
    for (int c = 0; c < model.columnCount(); ++c)
        if (model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == name) return c;
    return -1;
}

QString Cell(const PreviewModel& model, int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

}  // namespace

class ComplexColumnsWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempDir> dir_;

    void RecoverFile(MainWindow& w, const std::filesystem::path& path) {
        Prompts::Instance().chooseFile = [path](QWidget*) { return QString::fromStdString(path.string()); };
        QTest::mouseClick(w.browseButton(), Qt::LeftButton);
        QTest::mouseClick(w.recoverButton(), Qt::LeftButton);
        QVERIFY(w.progressDialog() != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(w.progressDialog()->stopButton()->text(), QString("Close"), 60000);
        w.progressDialog()->accept();
    }

    // Selects the table as a click on its item does and waits for its first page.
    void Preview(MainWindow& w, const QString& table) {
        QTreeWidgetItem* item = TableItem(w, table);
        QVERIFY(item != nullptr);
        w.tree()->scrollToItem(item);
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, w.tree()->visualItemRect(item).center());
        QCOMPARE(w.tree()->currentItem(), item);
        QTRY_VERIFY_WITH_TIMEOUT(!w.previewBusy() && w.previewModel()->hasTable(), 30000);
    }

private Q_SLOTS:
    void init() {
        dir_ = std::make_unique<TempDir>();
        SetAppDirectory(dir_->path());
        Prompts::Instance().Reset();
        Prompts::Instance().tell = [](QWidget*, const QString&) {};
        Prompts::Instance().ask = [](QWidget*, const QString&) { return true; };
    }
    void cleanup() {
        Prompts::Instance().Reset();
        ResetAppDirectory();
        dir_.reset();
    }

    void AttachmentCellsListTheirFileNames() {
        const auto path = CorpusFilePath("andipaetzold__test_data_V2016_attachments.accdb");
        REQUIRE_CORPUS_FILE(path);
        MainWindow w;
        w.show();
        RecoverFile(w, path);
        QTreeWidgetItem* table = TableItem(w, "Table1");
        QVERIFY(table != nullptr);
        QVERIFY(ColumnLabels(table).contains("Attachments [ATTACHMENT]"));
        Preview(w, "Table1");
        const PreviewModel& model = *w.previewModel();
        QCOMPARE(w.recordCountLabel()->text(), QString::number(model.rowCount()));
        const int comment = ColumnNamed(model, "Comment");
        const int files = ColumnNamed(model, "Attachments");
        QVERIFY(comment >= 0 && files >= 0);
        bool sawOne = false, sawThree = false;
        for (int r = 0; r < model.rowCount(); ++r) {
            const QString text = Cell(model, r, files);
            QVERIFY2(!text.contains("ATTACHMENT"), qPrintable(text));
            if (Cell(model, r, comment) == "1 Attachment") {
                QCOMPARE(text, QString("attachment1.txt"));
                sawOne = true;
            }
            if (Cell(model, r, comment) == "3 Attachments") {
                QCOMPARE(text, QString("attachment1.txt; attachment2.txt; attachment3.txt"));
                sawThree = true;
            }
            if (Cell(model, r, comment) == "0 Attachments") QVERIFY(text.trimmed().isEmpty());
        }
        QVERIFY(sawOne && sawThree);
        SaveScreenshot(&w, "main-window-attachments.png");
    }

    void ComplexColumnsAreTypedByWhatTheyHold() {
        const auto path = CorpusFilePath("jahlborn__src_test_data_V2007_complexDataTestV2007.accdb");
        REQUIRE_CORPUS_FILE(path);
        MainWindow w;
        w.show();
        RecoverFile(w, path);
        QTreeWidgetItem* table = TableItem(w, "Table1");
        QVERIFY(table != nullptr);
        const QStringList labels = ColumnLabels(table);
        QVERIFY2(labels.contains("VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880 [version history]"),
                 qPrintable(labels.join(" | ")));
        QVERIFY2(labels.contains("multi-value-data [multi-value of TEXT]"), qPrintable(labels.join(" | ")));
        QVERIFY2(labels.contains("attach-data [ATTACHMENT]"), qPrintable(labels.join(" | ")));
        QVERIFY2(labels.contains("memo-data [MEMO]"), qPrintable(labels.join(" | ")));

        Preview(w, "Table1");
        const PreviewModel& model = *w.previewModel();
        const int id = ColumnNamed(model, "id");
        const int values = ColumnNamed(model, "multi-value-data");
        const int files = ColumnNamed(model, "attach-data");
        QVERIFY(id >= 0 && values >= 0 && files >= 0);
        bool sawRow2 = false;
        for (int r = 0; r < model.rowCount(); ++r) {
            if (Cell(model, r, id) != "row2") continue;
            QCOMPARE(Cell(model, r, values), QString("value1; value4"));
            QCOMPARE(Cell(model, r, files), QString("test_data.txt; test_data2.txt"));
            sawRow2 = true;
        }
        QVERIFY(sawRow2);
        w.tree()->expandItem(table);
        SaveScreenshot(&w, "main-window-complex-columns.png");
    }
};

QTEST_MAIN(ComplexColumnsWindowTest)
#include "ComplexColumnsWindowTest.moc"
