#pragma once

#include <QString>
#include <QTreeWidget>
#include <vector>

#include "schema/TableInfo.h"

namespace pw {
class ComplexColumnIndex;
struct ComplexColumnShape;
}  // namespace pw

namespace pw::app {

// The tree of the main window: the database, its TABLES node, one item per
// recovered table (bold when it holds rows) and one per column with its type.
// Tables are added as the recovery publishes them; once it has finished, the
// tree is given the recovery's own tables, which its items then stand for,
// and complex columns are named by what their hidden tables hold.
class TablesTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TablesTree(QWidget* parent = nullptr);

    // Only the database node (named `rootText`) and an empty TABLES node.
    void Reset(const QString& rootText);
    void AddTable(const TableInfo& table);
    // The tables of the finished recovery, in the order they were published;
    // they must outlive their use here (until the next Reset). With `complex`,
    // complex columns it links are labelled by their kind.
    void SetRecoveredTables(std::vector<const TableInfo*> tables, const ComplexColumnIndex* complex = nullptr);

    QTreeWidgetItem* rootItem() const { return rootItem_; }
    QTreeWidgetItem* tablesItem() const { return tablesItem_; }
    const std::vector<const TableInfo*>& recoveredTables() const { return tables_; }
    // The table item of a table or column item, else null.
    QTreeWidgetItem* TableItemOf(QTreeWidgetItem* item) const;
    // The recovered table a table or column item stands for, else null.
    const TableInfo* TableOf(QTreeWidgetItem* item) const;

    // "Name [TYPE]", text columns with their length in characters.
    static QString ColumnLabel(const ColumnInfo& column);
    // A linked complex column: "Name [ATTACHMENT]", "Name [multi-value of T]"
    // (T the value column's type word) or "Name [version history]".
    static QString ComplexColumnLabel(const ColumnInfo& column, const ComplexColumnShape& shape);

private:
    void LabelComplexColumns(QTreeWidgetItem* tableItem, const TableInfo& table, const ComplexColumnIndex& complex);

    QTreeWidgetItem* rootItem_ = nullptr;
    QTreeWidgetItem* tablesItem_ = nullptr;
    std::vector<const TableInfo*> tables_;
};

}  // namespace pw::app
