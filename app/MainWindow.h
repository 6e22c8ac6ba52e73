#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "schema/TableInfo.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;
class QTextBrowser;
class QTreeWidgetItem;

namespace pw::app {

class DamageView;
class ExportDialog;
class ExportOptionsDialog;
class PreviewModel;
class RecoveryJob;
class RecoveryProgressDialog;
class TablesTree;

// The main window: choose a file, recover it (with its progress dialog),
// see its tables and columns as a tree, preview a table 100 records a page,
// see what damage the recovery met, and export tables. It composes the tree,
// the preview and the damage view, and keeps the jobs from overlapping.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The actions of the window, as its buttons and menus run them.
    void Browse();
    void OpenFile(const QString& path);  // as Browse does once a file is chosen
    void Recover();
    void Export();
    void NextPage();
    void PreviousPage();
    void ShowHelp();
    void ShowAbout();

    bool recovering() const;
    bool exporting() const { return exporting_; }
    bool previewBusy() const;

    // For tests and for the export dialogs.
    TablesTree* tree() const { return tree_; }
    QTableView* previewView() const { return preview_; }
    PreviewModel* previewModel() const { return model_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* recoverButton() const { return recover_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* prevButton() const { return prev_; }
    QLabel* recordCountLabel() const { return recordCount_; }
    QLabel* pageLabel() const { return pageNumber_; }
    QLabel* tableNameLabel() const { return tableName_; }
    QCheckBox* withheldToggle() const { return withheld_; }
    DamageView* damageView() const { return damage_; }
    QStackedWidget* content() const { return content_; }
    RecoveryJob* job() const { return job_.get(); }
    RecoveryProgressDialog* progressDialog() const { return progress_; }
    ExportOptionsDialog* exportOptionsDialog() const { return options_; }
    ExportDialog* exportDialog() const { return exportDialog_; }
    QTreeWidgetItem* tablesItem() const;
    const QString& filePath() const { return filePath_; }
    // Called with each new recovery job before its worker starts (tests set
    // the job's worker hooks here).
    std::function<void(RecoveryJob&)> beforeRecoveryStarts;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildUi();
    void BuildMenus();
    void ResetTree(const QString& rootText);
    void ShowWelcome();
    void OnRecoveryFinished();
    void OnSelectionChanged();
    void StartPreview(const TableInfo& table);
    void UpdatePagingButtons();
    void StartExport();
    bool RefuseWhileBusy();
    void SetJobButtons(bool enabled);

    QLineEdit* path_;
    QPushButton* browse_;
    QPushButton* recover_;
    QPushButton* export_;
    QPushButton* prev_;
    QPushButton* next_;
    QLabel* tableName_;
    QLabel* recordCount_;
    QLabel* pageNumber_;
    QCheckBox* withheld_;
    TablesTree* tree_;
    DamageView* damage_;
    QStackedWidget* content_;
    QTextBrowser* welcome_;
    QTableView* preview_;
    PreviewModel* model_;
    QAction* browseAction_;
    QAction* exportAction_;

    QString filePath_;
    QString databaseName_;
    std::unique_ptr<RecoveryJob> job_;
    RecoveryProgressDialog* progress_ = nullptr;
    ExportOptionsDialog* options_ = nullptr;
    ExportDialog* exportDialog_ = nullptr;
    QTreeWidgetItem* previewItem_ = nullptr;
    bool exporting_ = false;
    bool recoveryDone_ = false;
};

}  // namespace pw::app
