#include "app/TablesTree.h"

#include <QFont>
#include <QStringList>
#include <QStyle>
#include <algorithm>
#include <optional>

#include "records/ComplexColumns.h"
#include "schema/ColumnTypes.h"

namespace pw::app {
namespace {

constexpr const char* kTablesNode = "TABLES";
// Two tables may share a name (orphans, damaged catalogs): an item finds its
// table by the page of its definition.
constexpr int kDefinitionPageRole = Qt::UserRole + 1;

}  // namespace

TablesTree::TablesTree(QWidget* parent) : QTreeWidget(parent) { setHeaderHidden(true); }

QString TablesTree::ColumnLabel(const ColumnInfo& column) {
    const std::string type = ColumnTypeName(column);
    if (type == "TEXT")
        // A text column's length is stored in bytes, two a character.
        return QString("%1 [TEXT(%2)]").arg(QString::fromStdString(column.name)).arg(std::max(column.length, 0) / 2);
    return QString("%1 [%2]").arg(QString::fromStdString(column.name), QString::fromStdString(type));
}

QString TablesTree::ComplexColumnLabel(const ColumnInfo& column, const ComplexColumnShape& shape) {
    QString kind = "ATTACHMENT";
    if (shape.kind == ComplexKind::VersionHistory) {
        kind = "version history";
    } else if (shape.kind == ComplexKind::MultiValue) {
        QStringList words;
        for (ColumnInfo value : shape.valueColumns) {
            // The word of the values' type; their place in the hidden table
            // makes no auto-number of them.
            value.columnNumber = 1;
            words << QString::fromStdString(ColumnTypeName(value));
        }
        kind = "multi-value of " + words.join(", ");
    }
    return QString("%1 [%2]").arg(QString::fromStdString(column.name), kind);
}

void TablesTree::Reset(const QString& rootText) {
    tables_.clear();
    clear();
    rootItem_ = new QTreeWidgetItem(this, {rootText});
    rootItem_->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    tablesItem_ = new QTreeWidgetItem(rootItem_, {kTablesNode});
    tablesItem_->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    rootItem_->setExpanded(true);
}

void TablesTree::AddTable(const TableInfo& table) {
    if (table.name.empty() || tablesItem_ == nullptr) return;
    auto* item = new QTreeWidgetItem(tablesItem_, {QString::fromStdString(table.name)});
    item->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
    item->setData(0, kDefinitionPageRole, table.tdefPage);
    if (table.rowCount > 0) {
        QFont bold = item->font(0);
        bold.setBold(true);
        item->setFont(0, bold);
    }
    if (table.generatedName) item->setToolTip(0, "No catalog row named this table: the name was generated");
    for (const ColumnInfo& column : table.columns) {
        auto* c = new QTreeWidgetItem(item, {ColumnLabel(column)});
        c->setIcon(0, style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    }
    tablesItem_->setExpanded(true);
}

void TablesTree::SetRecoveredTables(std::vector<const TableInfo*> tables, const ComplexColumnIndex* complex) {
    tables_ = std::move(tables);
    if (complex == nullptr || complex->linkedColumns() == 0 || tablesItem_ == nullptr) return;
    for (int i = 0; i < tablesItem_->childCount(); ++i) {
        QTreeWidgetItem* item = tablesItem_->child(i);
        if (const TableInfo* table = TableOf(item)) LabelComplexColumns(item, *table, *complex);
    }
}

void TablesTree::LabelComplexColumns(QTreeWidgetItem* tableItem, const TableInfo& table,
                                     const ComplexColumnIndex& complex) {
    const int shown = std::min(tableItem->childCount(), static_cast<int>(table.columns.size()));
    for (int c = 0; c < shown; ++c) {
        const ColumnInfo& column = table.columns[static_cast<std::size_t>(c)];
        if (column.typeCode != ColumnType::Attachment) continue;
        if (const std::optional<ComplexColumnShape> shape = complex.ShapeOf(table.tdefPage, column.name))
            tableItem->child(c)->setText(0, ComplexColumnLabel(column, *shape));
    }
}

QTreeWidgetItem* TablesTree::TableItemOf(QTreeWidgetItem* item) const {
    if (item == nullptr || tablesItem_ == nullptr) return nullptr;
    if (item->parent() == tablesItem_) return item;
    if (item->parent() != nullptr && item->parent()->parent() == tablesItem_) return item->parent();
    return nullptr;
}

const TableInfo* TablesTree::TableOf(QTreeWidgetItem* item) const {
    QTreeWidgetItem* tableItem = TableItemOf(item);
    if (tableItem == nullptr) return nullptr;
    const int page = tableItem->data(0, kDefinitionPageRole).toInt();
    const int index = tablesItem_->indexOfChild(tableItem);
    // Tables are listed in the order the recovery published them.
    if (index >= 0 && index < static_cast<int>(tables_.size()) &&
        tables_[static_cast<std::size_t>(index)]->tdefPage == page)
        return tables_[static_cast<std::size_t>(index)];
    for (const TableInfo* t : tables_)
        if (t->tdefPage == page) return t;
    return nullptr;
}

}  // namespace pw::app
