#pragma once

#include <QString>
#include <QTreeWidget>
#include <vector>

#include "schema/TableInfo.h"

namespace pw::app {

// The tree of the main window: the database, its TABLES node, one item per
// recovered table (bold when it holds rows) and one per column with its type.
// Tables are added as the recovery publishes them; once it has finished, the
// tree is given the recovery's own tables, which its items then stand for.
class TablesTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TablesTree(QWidget* parent = nullptr);

    // Only the database node (named `rootText`) and an empty TABLES node.
    void Reset(const QString& rootText);
    void AddTable(const TableInfo& table);
    // The tables of the finished recovery, in the order they were published;
    // they must outlive their use here (until the next Reset).
    void SetRecoveredTables(std::vector<const TableInfo*> tables);

    QTreeWidgetItem* rootItem() const { return rootItem_; }
    QTreeWidgetItem* tablesItem() const { return tablesItem_; }
    const std::vector<const TableInfo*>& recoveredTables() const { return tables_; }
    // The table item of a table or column item, else null.
    QTreeWidgetItem* TableItemOf(QTreeWidgetItem* item) const;
    // The recovered table a table or column item stands for, else null.
    const TableInfo* TableOf(QTreeWidgetItem* item) const;

    // "Name [TYPE]", text columns with their length in characters.
    static QString ColumnLabel(const ColumnInfo& column);

private:
    QTreeWidgetItem* rootItem_ = nullptr;
    QTreeWidgetItem* tablesItem_ = nullptr;
    std::vector<const TableInfo*> tables_;
};

}  // namespace pw::app
