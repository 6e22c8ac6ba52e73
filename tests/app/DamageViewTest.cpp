// The damage view under the tables, shown a report as the main window shows
// it after a recovery: the summary, the tables that lost something, the
// first events, the toggle that folds it.
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>

#include "app/DamageView.h"
#include "status/DamageReport.h"

using namespace pw;
using namespace pw::app;

class DamageViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theDamageViewFoldsAndListsWhatWasLost() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* viewPointer = new DamageView;
        layout->addWidget(viewPointer);
        DamageView& view = *viewPointer;
        window.resize(300, 400);
        window.show();
        QVERIFY(!view.isVisible());  // nothing to tell before a recovery

        DamageReport report;
        report.SetTableFacts("Orders", 3, 10);
        report.Report({DamageKind::PageUnreadable, 42, -1, "Orders", "not a data page"});
        report.Report({DamageKind::SlotOutsidePage, 43, 2, "Orders", "slot past the page"});
        view.ShowReport(report);
        QVERIFY(view.isVisible());
        QTreeWidget* tree = view.tree();
        QCOMPARE(tree->topLevelItem(0)->text(0), QString("Damage found"));
        QCOMPARE(tree->topLevelItem(0)->text(1), QString("2"));
        QCOMPARE(tree->topLevelItem(1)->text(0), QString("Tables with losses"));
        QCOMPARE(tree->topLevelItem(1)->child(0)->text(0), QString("Orders"));
        QTreeWidgetItem* events = tree->topLevelItem(2);
        QCOMPARE(events->childCount(), 2);
        QVERIFY(events->child(1)->text(0).contains("page 43 slot 2"));

        QTest::mouseClick(view.toggle(), Qt::LeftButton);
        QVERIFY(!tree->isVisible());
        QVERIFY(view.toggle()->isVisible());
        QTest::mouseClick(view.toggle(), Qt::LeftButton);
        QVERIFY(tree->isVisible());

        view.Clear();
        QVERIFY(!view.isVisible());
        QCOMPARE(tree->topLevelItemCount(), 0);
    }

    void aReportWithoutDamageSaysSo() {
        DamageView view;
        DamageReport report;
        report.SetTableFacts("Orders", 1, 3);
        report.AddTableRows("Orders", 3, 0, 0);
        view.ShowReport(report);
        QCOMPARE(view.tree()->topLevelItem(0)->text(0), QString("No damage found"));
        QCOMPARE(view.tree()->topLevelItem(1)->text(1), QString("0"));
        QVERIFY(view.tree()->topLevelItem(2)->isHidden());
    }

    void atMostFiftyEventsAreListed() {
        DamageView view;
        DamageReport report;
        for (int i = 0; i < 80; ++i) report.Report({DamageKind::RowRejected, 7, i, "Orders", "bad row"});
        view.ShowReport(report);
        QTreeWidgetItem* events = view.tree()->topLevelItem(2);
        QCOMPARE(events->childCount(), std::min<int>(DamageView::kShownEvents,
                                                     static_cast<int>(report.KeptEvents().size())));
    }
};

QTEST_MAIN(DamageViewTest)
#include "DamageViewTest.moc"
