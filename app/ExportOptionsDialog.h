#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

#include "export/CsvExport.h"
#include "export/ExportJob.h"
#include "schema/TableInfo.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pw::app {

// Where and what to export: the target (a new Access database or CSV files),
// schema only or schema and data, the destination folder and the tables, as a
// tree of check boxes under the database node and "TABLES". Every table
// starts checked; "Export/Save" is usable once a folder was chosen and while
// at least one table is checked. For CSV files it makes a fresh time-stamped
// folder under the destination, which becomes the export folder.
class ExportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    ExportOptionsDialog(const QString& databaseName, std::vector<TableInfo> tables,
                        QWidget* parent = nullptr);

    // The choices, valid once the dialog was accepted.
    ExportTarget target() const { return target_; }
    ExportContent content() const { return content_; }
    std::filesystem::path folder() const { return folder_; }
    // The checked tables in tree order.
    std::vector<TableInfo> chosenTables() const { return chosen_; }

    QTreeWidget* tablesTree() const { return tree_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* browseButton() const { return browse_; }
    QRadioButton* csvButton() const { return csv_; }
    QRadioButton* accessButton() const { return access_; }
    QRadioButton* schemaOnlyButton() const { return schemaOnly_; }

private:
    void ChooseTarget(ExportTarget target);
    void Browse();
    void OnItemChanged(QTreeWidgetItem* item);
    void SetChildrenChecked(QTreeWidgetItem* item, bool checked);
    void UpdateExportButton();
    bool AnyTableChecked() const;
    void Save();

    std::vector<TableInfo> tables_;
    QRadioButton* access_;
    QRadioButton* csv_;
    QGroupBox* destination_;
    QLineEdit* path_;
    QPushButton* browse_;
    QTreeWidget* tree_;
    QTreeWidgetItem* rootItem_;
    QTreeWidgetItem* tablesItem_;
    QRadioButton* schemaOnly_;
    QRadioButton* schemaAndData_;
    QPushButton* export_;
    QPushButton* cancel_;
    // Set while the dialog itself changes check boxes, so that only the
    // person's own change is propagated.
    bool propagating_ = false;

    ExportTarget target_ = ExportTarget::Access;
    ExportContent content_ = ExportContent::SchemaAndData;
    std::filesystem::path folder_;
    std::vector<TableInfo> chosen_;
};

}  // namespace pw::app
