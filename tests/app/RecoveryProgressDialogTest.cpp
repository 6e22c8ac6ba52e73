// The recovery progress dialog fed by its job's signals as a running job
// sends them: the bar, the stage and the table counts follow the progress
// counts of each stage, never the text of a status line.
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/RecoveryJob.h"
#include "app/RecoveryProgressDialog.h"
#include "schema/TableInfo.h"

using namespace pw;
using namespace pw::app;

class RecoveryProgressDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void barAndStageFollowTheProgressCounts() {
        RecoveryJob job;
        RecoveryProgressDialog dialog(job, "Shop", "Jet 4");
        dialog.show();
        QCOMPARE(dialog.percentText(), QString("0 %"));

        Q_EMIT job.progress(ProgressStage::Pages, 50, 100);
        QCOMPARE(dialog.bar()->value(), 25);
        QCOMPARE(dialog.percentText(), QString("25%"));
        QCOMPARE(dialog.stageText(), QString("Reading pages"));
        QCOMPARE(dialog.tablesFoundText(), QString("0 (0)"));

        Q_EMIT job.progress(ProgressStage::Tables, 1, 4);
        QCOMPARE(dialog.bar()->value(), 62);
        QCOMPARE(dialog.stageText(), QString("Reading tables"));
        QCOMPARE(dialog.tablesFoundText(), QString("1 (4)"));

        // A later pass over the pages does not move the bar back.
        Q_EMIT job.progress(ProgressStage::Pages, 10, 100);
        QCOMPARE(dialog.bar()->value(), 62);
        QCOMPARE(dialog.tablesFoundText(), QString("1 (4)"));

        // Rows have no bar of their own; a count with no total is no count.
        Q_EMIT job.progress(ProgressStage::Rows, 900, 1000);
        QCOMPARE(dialog.bar()->value(), 62);
        QCOMPARE(dialog.stageText(), QString("Reading rows"));
        Q_EMIT job.progress(ProgressStage::Tables, 3, 0);
        QCOMPARE(dialog.tablesFoundText(), QString("1 (4)"));

        Q_EMIT job.progress(ProgressStage::Tables, 4, 4);
        QCOMPARE(dialog.bar()->value(), 100);
        QCOMPARE(dialog.tablesFoundText(), QString("4 (4)"));
    }

    void statusLinesAreListedWhateverTheySay() {
        RecoveryJob job;
        RecoveryProgressDialog dialog(job, "Shop", "Jet 4");
        dialog.show();
        for (const char* line : {"Opened file successfully...", "Analyzing started", "Initializing Tables....."})
            Q_EMIT job.statusLine(line);
        QCOMPARE(dialog.lines()->count(), 3);
        QCOMPARE(dialog.lines()->item(0)->text(), QString("Initializing Tables....."));
        // A line never moves the bar nor the counts.
        QCOMPARE(dialog.bar()->value(), 0);
        QCOMPARE(dialog.tablesFoundText(), QString("0 (0)"));

        dialog.JobEnded(false);
        QCOMPARE(dialog.lines()->item(0)->text(), QString("Recovery Completed"));
        QCOMPARE(dialog.stopButton()->text(), QString("Close"));
        // What comes after the end is not shown.
        Q_EMIT job.statusLine("late");
        Q_EMIT job.progress(ProgressStage::Tables, 1, 9);
        QCOMPARE(dialog.lines()->item(0)->text(), QString("Recovery Completed"));
        QCOMPARE(dialog.tablesFoundText(), QString("0 (0)"));
    }

    void unnamedTablesAreCounted() {
        RecoveryJob job;
        RecoveryProgressDialog dialog(job, "Shop", "Jet 4");
        auto named = std::make_shared<TableInfo>();
        named->name = "Orders";
        auto generated = std::make_shared<TableInfo>();
        generated->name = "Recovered Table 1";
        generated->generatedName = true;
        Q_EMIT job.tablePublished(named);
        Q_EMIT job.tablePublished(generated);
        QCOMPARE(dialog.unnamedText(), QString("1"));
    }
};

QTEST_MAIN(RecoveryProgressDialogTest)
#include "RecoveryProgressDialogTest.moc"
