#include "app/ExportOptionsDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/Prompts.h"
#include "export/CsvFolder.h"
#include "status/DisplayText.h"

namespace pw::app {
namespace {

constexpr const char* kNoFileSystemPath =
    "You cannot select \"My computer\" or \"My Network\" as destination. \r\n\r\n"
    "                          Please select proper drive path.";

constexpr int kTableIndexRole = Qt::UserRole;

QLabel* Explanation(const char* text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    // Indented under its radio button so that it reads as that button's note.
    label->setIndent(20);
    return label;
}

}  // namespace

ExportOptionsDialog::ExportOptionsDialog(const QString& databaseName, std::vector<TableInfo> tables,
                                         QWidget* parent)
    : QDialog(parent), tables_(std::move(tables)) {
    setWindowTitle("Pagewright Export Option");

    access_ = new QRadioButton("MS Access Database");
    csv_ = new QRadioButton("CSV file");
    access_->setChecked(true);
    auto* saveAs = new QGroupBox("Save As");
    auto* saveAsRow = new QHBoxLayout(saveAs);
    saveAsRow->addWidget(access_);
    saveAsRow->addWidget(csv_);
    saveAsRow->addStretch(1);

    destination_ = new QGroupBox("Credentials");
    path_ = new QLineEdit;
    path_->setReadOnly(true);
    browse_ = new QPushButton("Browse");
    browse_->setAutoDefault(false);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel("Destination Path:"));
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);

    tree_ = new QTreeWidget;
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    rootItem_ = new QTreeWidgetItem(tree_, QStringList(databaseName));
    rootItem_->setCheckState(0, Qt::Checked);
    tablesItem_ = new QTreeWidgetItem(rootItem_, QStringList("TABLES"));
    tablesItem_->setCheckState(0, Qt::Checked);
    for (std::size_t i = 0; i < tables_.size(); ++i) {
        auto* item = new QTreeWidgetItem(tablesItem_,
                                         QStringList(QString::fromStdString(ForTerminal(tables_[i].name))));
        item->setData(0, kTableIndexRole, static_cast<int>(i));
        item->setCheckState(0, Qt::Checked);
    }
    rootItem_->setExpanded(true);
    tablesItem_->setExpanded(true);
    tree_->setEnabled(false);

    auto* destinationLayout = new QVBoxLayout(destination_);
    destinationLayout->addLayout(pathRow);
    destinationLayout->addWidget(tree_, 1);

    schemaOnly_ = new QRadioButton("Only Schema");
    schemaAndData_ = new QRadioButton("Schema && Data");
    schemaAndData_->setChecked(true);
    auto* options = new QGroupBox("Export Options");
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(schemaOnly_);
    optionsLayout->addWidget(
        Explanation("(This option will only create the necessary schema for the selected tables)"));
    optionsLayout->addWidget(schemaAndData_);
    optionsLayout->addWidget(Explanation("(This option will export schema  as well data for the table)"));

    export_ = new QPushButton("Export/Save");
    export_->setDefault(true);
    export_->setEnabled(false);
    cancel_ = new QPushButton("Cancel");
    cancel_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(export_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(saveAs);
    layout->addWidget(destination_, 1);
    layout->addWidget(options);
    layout->addLayout(buttons);
    resize(520, 560);

    ChooseTarget(ExportTarget::Access);

    connect(access_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) ChooseTarget(ExportTarget::Access);
    });
    connect(csv_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) ChooseTarget(ExportTarget::Csv);
    });
    connect(schemaOnly_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) content_ = ExportContent::SchemaOnly;
    });
    connect(schemaAndData_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) content_ = ExportContent::SchemaAndData;
    });
    connect(browse_, &QPushButton::clicked, this, &ExportOptionsDialog::Browse);
    connect(tree_, &QTreeWidget::itemChanged, this, &ExportOptionsDialog::OnItemChanged);
    connect(export_, &QPushButton::clicked, this, &ExportOptionsDialog::Save);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void ExportOptionsDialog::ChooseTarget(ExportTarget target) {
    target_ = target;
    destination_->setTitle("Browse Destination");
    // A folder picked for one target is not taken over by the other: the
    // person picks again.
    path_->clear();
    UpdateExportButton();
}

void ExportOptionsDialog::Browse() {
    const QString picked = Prompts::Instance().chooseFolder(this);
    if (picked.isEmpty()) return;
    if (!QFileInfo(picked).isDir()) {
        Prompts::Instance().tell(this, kNoFileSystemPath);
        path_->clear();
        tree_->setEnabled(false);
        UpdateExportButton();
        return;
    }
    path_->setText(QDir::toNativeSeparators(picked));
    tree_->setEnabled(true);
    UpdateExportButton();
}

void ExportOptionsDialog::SetChildrenChecked(QTreeWidgetItem* item, bool checked) {
    for (int i = 0; i < item->childCount(); ++i)
        item->child(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void ExportOptionsDialog::OnItemChanged(QTreeWidgetItem* item) {
    if (propagating_) return;
    propagating_ = true;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (item == rootItem_) {
        tablesItem_->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        SetChildrenChecked(tablesItem_, checked);
    } else if (item == tablesItem_) {
        SetChildrenChecked(tablesItem_, checked);
        rootItem_->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    } else if (!checked) {
        // "TABLES" no longer stands for every table; the database node still
        // does for what remains.
        tablesItem_->setCheckState(0, Qt::Unchecked);
    } else if (tablesItem_->checkState(0) != Qt::Checked) {
        rootItem_->setCheckState(0, Qt::Checked);
    }
    propagating_ = false;
    UpdateExportButton();
}

bool ExportOptionsDialog::AnyTableChecked() const {
    for (int i = 0; i < tablesItem_->childCount(); ++i)
        if (tablesItem_->child(i)->checkState(0) == Qt::Checked) return true;
    return false;
}

void ExportOptionsDialog::UpdateExportButton() {
    export_->setEnabled(!path_->text().isEmpty() && AnyTableChecked());
}

void ExportOptionsDialog::Save() {
    const QString chosen = path_->text();
    std::filesystem::path folder = QDir::fromNativeSeparators(chosen).toStdString();
    if (target_ == ExportTarget::Csv) {
        folder = MakeCsvFolder(folder);
        if (folder.empty()) {
            Prompts::Instance().tell(this, "No folder for the CSV files could be made in \"" + chosen +
                                               "\".\n\nPlease choose a destination you may write to.");
            return;
        }
    }
    folder_ = folder;
    chosen_.clear();
    for (int i = 0; i < tablesItem_->childCount(); ++i) {
        const QTreeWidgetItem* item = tablesItem_->child(i);
        if (item->checkState(0) == Qt::Checked)
            chosen_.push_back(tables_[item->data(0, kTableIndexRole).toInt()]);
    }
    accept();
}

}  // namespace pw::app
