#include "app/DamageView.h"

#include <QHeaderView>
#include <QSizePolicy>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "status/DamageReport.h"

namespace pw::app {

DamageView::DamageView(QWidget* parent) : QWidget(parent) {
    toggle_ = new QToolButton;
    toggle_->setText("Damage report");
    toggle_->setCheckable(true);
    toggle_->setChecked(true);
    toggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle_->setArrowType(Qt::DownArrow);
    toggle_->setAutoRaise(true);
    tree_ = new QTreeWidget;
    tree_->setHeaderLabels({"Damage", "Count"});
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toggle_);
    layout->addWidget(tree_, 1);
    connect(toggle_, &QToolButton::toggled, this, &DamageView::SetOpen);
    hide();
}

void DamageView::SetOpen(bool open) {
    tree_->setVisible(open);
    toggle_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    // Folded, the view keeps only the toggle's height and the tables take the rest.
    setSizePolicy(QSizePolicy::Preferred, open ? QSizePolicy::Preferred : QSizePolicy::Maximum);
}

void DamageView::Clear() {
    tree_->clear();
    hide();
}

void DamageView::Refresh(const DamageReport& report) {
    if (isHidden() || report.TotalEvents() == shownEvents_) return;
    const bool open = toggle_->isChecked();
    ShowReport(report);
    toggle_->setChecked(open);
    SetOpen(open);
}

void DamageView::ShowReport(const DamageReport& report) {
    tree_->clear();
    shownEvents_ = report.TotalEvents();
    const FileFacts facts = report.fileFacts();
    auto* summary = new QTreeWidgetItem(tree_, {report.LostAnything() ? "Damage found" : "No damage found",
                                                QString::number(report.TotalEvents())});
    for (int k = 0; k < kDamageKindCount; ++k) {
        const auto kind = static_cast<DamageKind>(k);
        if (const std::int64_t n = report.Count(kind); n > 0)
            new QTreeWidgetItem(summary, {DamageKindName(kind), QString::number(n)});
    }
    if (facts.pagesMissingAtHead > 0)
        new QTreeWidgetItem(summary, {"pages missing at the start", QString::number(facts.pagesMissingAtHead)});
    if (facts.pagesLostAtTail > 0)
        new QTreeWidgetItem(summary, {"pages lost at the end", QString::number(facts.pagesLostAtTail)});
    auto* tables = new QTreeWidgetItem(tree_, {"Tables with losses", ""});
    int lossy = 0;
    for (const std::string& name : report.TableNames()) {
        const TableTally t = report.Tally(name);
        const std::int64_t events = report.TableEvents(name);
        if (events == 0 && t.pagesUnreadable == 0 && t.rowsUnreadable == 0) continue;
        ++lossy;
        auto* item = new QTreeWidgetItem(tables, {QString::fromStdString(name), QString::number(events)});
        new QTreeWidgetItem(item, {"rows found / stated", QString("%1 / %2").arg(t.rowsFound).arg(t.rowsStated)});
        new QTreeWidgetItem(item, {"rows unreadable", QString::number(t.rowsUnreadable)});
        new QTreeWidgetItem(item, {"pages unreadable", QString("%1 of %2").arg(t.pagesUnreadable).arg(t.pagesOwned)});
    }
    tables->setText(1, QString::number(lossy));
    auto* events = new QTreeWidgetItem(tree_, {"First events", ""});
    events->setHidden(report.TotalEvents() == 0);
    int shown = 0;
    for (const DamageEvent& e : report.KeptEvents()) {
        if (++shown > kShownEvents) break;
        QString where = e.page >= 0 ? QString("page %1").arg(e.page) : QString();
        if (e.slot >= 0) where += QString(" slot %1").arg(e.slot);
        new QTreeWidgetItem(events, {QString("%1: %2 %3 %4")
                                         .arg(DamageKindName(e.kind), QString::fromStdString(e.table), where,
                                              QString::fromStdString(e.reason))
                                         .simplified(),
                                     ""});
    }
    summary->setExpanded(true);
    tables->setExpanded(true);
    toggle_->setChecked(true);
    SetOpen(true);
    show();
}

}  // namespace pw::app
