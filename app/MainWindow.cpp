#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <vector>

#include "app/AppIcon.h"
#include "app/DamageView.h"
#include "app/ExportDialog.h"
#include "app/ExportOptionsDialog.h"
#include "app/PreviewModel.h"
#include "app/Prompts.h"
#include "app/RecoveryJob.h"
#include "app/RecoveryProgressDialog.h"
#include "app/TablesTree.h"
#include "pagestore/DbReader.h"
#include "status/Logging.h"

// The help page is compiled into this static library, whose resources the
// program must load itself.
static void LoadBundledResources() { Q_INIT_RESOURCE(app); }

namespace pw::app {
namespace {

constexpr const char* kRecoverBusy = "Recover operation is in progress..Pls wait, or cancel that operation";
constexpr const char* kExportBusy = "Export operation is in progress..Pls wait, or cancel that operation";
constexpr const char* kRootPlaceholder = "DATABASE_NAME";

QString DatabaseNameOf(const QString& path) { return QFileInfo(path).completeBaseName(); }

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    LoadBundledResources();
    setWindowTitle("Pagewright v3.3");
    setWindowIcon(AppIcon());
    setAcceptDrops(true);
    BuildUi();
    BuildMenus();
    ResetTree(kRootPlaceholder);
    SetJobButtons(false);
    browse_->setEnabled(true);
    ShowWelcome();
    WriteLogHeader();
}

MainWindow::~MainWindow() {
    // Workers first: they read the file the job holds.
    model_->Clear();
    if (job_) job_->RequestStop();
    job_.reset();
}

void MainWindow::BuildUi() {
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);

    auto* banner = new QLabel("<span style='font-size:20pt; font-weight:600; color:white'>Pagewright</span>"
                              "<span style='color:#f4e6c8'>&nbsp;&nbsp;salvage for damaged Access databases</span>");
    banner->setStyleSheet("background:#6b4f2a; padding:10px;");
    layout->addWidget(banner);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel("Select MS-Access File   :"));
    path_ = new QLineEdit;
    path_->setReadOnly(true);
    fileRow->addWidget(path_, 1);
    browse_ = new QPushButton("Browse");
    recover_ = new QPushButton("Recover");
    fileRow->addWidget(browse_);
    fileRow->addWidget(recover_);
    layout->addLayout(fileRow);
    connect(browse_, &QPushButton::clicked, this, &MainWindow::Browse);
    connect(recover_, &QPushButton::clicked, this, &MainWindow::Recover);

    auto* splitter = new QSplitter;
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    tree_ = new TablesTree;
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &MainWindow::OnSelectionChanged);
    leftLayout->addWidget(tree_, 3);
    damage_ = new DamageView;
    leftLayout->addWidget(damage_, 1);
    splitter->addWidget(left);

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* paging = new QGroupBox;
    auto* pagingRow = new QHBoxLayout(paging);
    prev_ = new QPushButton("< Prev");
    next_ = new QPushButton("Next >");
    tableName_ = new QLabel;
    recordCount_ = new QLabel("0");
    pageNumber_ = new QLabel;
    // Room for the largest counts, so that they are never cut.
    recordCount_->setMinimumWidth(recordCount_->fontMetrics().horizontalAdvance("00000"));
    pageNumber_->setMinimumWidth(pageNumber_->fontMetrics().horizontalAdvance("0000000"));
    pagingRow->addWidget(prev_);
    pagingRow->addWidget(new QLabel("Table Name :"));
    pagingRow->addWidget(tableName_, 1);
    pagingRow->addWidget(new QLabel("Displaying :"));
    pagingRow->addWidget(recordCount_);
    pagingRow->addWidget(new QLabel("records of Page :"));
    pagingRow->addWidget(pageNumber_);
    pagingRow->addWidget(next_);
    connect(prev_, &QPushButton::clicked, this, &MainWindow::PreviousPage);
    connect(next_, &QPushButton::clicked, this, &MainWindow::NextPage);
    rightLayout->addWidget(paging);
    withheld_ = new QCheckBox("Show deleted rows and rows of pages no longer in use (greyed)");
    connect(withheld_, &QCheckBox::toggled, this, [this] {
        if (const TableInfo* table = model_->table()) StartPreview(*table);
    });
    rightLayout->addWidget(withheld_);

    content_ = new QStackedWidget;
    welcome_ = new QTextBrowser;
    welcome_->setOpenExternalLinks(false);
    preview_ = new QTableView;
    model_ = new PreviewModel(this);
    preview_->setModel(model_);
    preview_->setSelectionBehavior(QAbstractItemView::SelectRows);
    preview_->setSelectionMode(QAbstractItemView::SingleSelection);
    preview_->horizontalHeader()->setDefaultSectionSize(180);
    content_->addWidget(welcome_);
    content_->addWidget(preview_);
    rightLayout->addWidget(content_, 1);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({340, 660});
    layout->addWidget(splitter, 1);
    connect(model_, &PreviewModel::loadStarted, this, &MainWindow::UpdatePagingButtons);
    connect(model_, &PreviewModel::pageShown, this, [this](int page, int rows) {
        recordCount_->setText(QString::number(rows));
        pageNumber_->setText(QString::number(page));
        UpdatePagingButtons();
        next_->setFocus();
    });

    auto* bottom = new QHBoxLayout;
    auto* footer = new QLabel("Tallowmere Software");
    footer->setEnabled(false);
    bottom->addWidget(footer, 1);
    export_ = new QPushButton("Export");
    connect(export_, &QPushButton::clicked, this, &MainWindow::Export);
    bottom->addWidget(export_);
    layout->addLayout(bottom);

    setCentralWidget(central);
    resize(1000, 680);
}

void MainWindow::BuildMenus() {
    QMenu* actions = menuBar()->addMenu("&Actions");
    browseAction_ = actions->addAction("Browse", this, &MainWindow::Browse);
    exportAction_ = actions->addAction("Export", this, &MainWindow::Export);
    actions->addSeparator();
    actions->addAction("Exit", this, &QWidget::close);
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("Help Contents", this, &MainWindow::ShowHelp);
    help->addAction("About Us", this, &MainWindow::ShowAbout);
}

void MainWindow::ShowWelcome() {
    welcome_->setHtml(
        "<h2>Pagewright</h2>"
        "<p>Pagewright brings back the tables of a damaged Microsoft Access database (.mdb or .accdb) that Access "
        "itself refuses to open. It reads the file page by page and never changes it.</p>"
        "<ol><li><b>Browse</b> for the damaged file, or drop it onto this window.</li>"
        "<li><b>Recover</b>: the file is mapped and every table found is listed on the left.</li>"
        "<li>Select a table to look at its records, 100 a page.</li>"
        "<li><b>Export</b> the tables you want as CSV files or into a new Access database.</li></ol>"
        "<p>The damage report under the tables tells what could not be read. Help Contents explains every message.</p>");
    content_->setCurrentWidget(welcome_);
}

QTreeWidgetItem* MainWindow::tablesItem() const { return tree_->tablesItem(); }

bool MainWindow::recovering() const { return job_ && !recoveryDone_; }
bool MainWindow::previewBusy() const { return model_->busy(); }

bool MainWindow::RefuseWhileBusy() {
    if (recovering()) {
        Prompts::Instance().tell(this, kRecoverBusy);
        return true;
    }
    if (exporting_) {
        Prompts::Instance().tell(this, kExportBusy);
        return true;
    }
    return false;
}

void MainWindow::SetJobButtons(bool enabled) {
    browse_->setEnabled(enabled);
    recover_->setEnabled(enabled && !filePath_.isEmpty());
    export_->setEnabled(enabled && recoveryDone_ && !tree_->recoveredTables().empty());
    browseAction_->setEnabled(enabled);
    exportAction_->setEnabled(export_->isEnabled());
}

void MainWindow::ResetTree(const QString& rootText) {
    previewItem_ = nullptr;
    tree_->Reset(rootText);
    model_->Clear();
    tableName_->clear();
    recordCount_->setText("0");
    pageNumber_->clear();
    prev_->setEnabled(false);
    next_->setEnabled(false);
    damage_->Clear();
}

void MainWindow::Browse() {
    if (RefuseWhileBusy()) return;
    const QString chosen = Prompts::Instance().chooseFile(this);
    if (chosen.isEmpty()) return;
    OpenFile(chosen);
}

void MainWindow::OpenFile(const QString& path) {
    if (RefuseWhileBusy()) return;
    model_->Clear();
    job_.reset();
    recoveryDone_ = false;
    ResetTree(kRootPlaceholder);
    ShowWelcome();
    filePath_ = path;
    path_->setText(path);
    databaseName_ = DatabaseNameOf(path);
    SetJobButtons(true);
}

void MainWindow::Recover() {
    if (RefuseWhileBusy() || filePath_.isEmpty()) return;
    model_->Clear();
    if (job_) job_->RequestStop();
    job_.reset();
    recoveryDone_ = false;
    ResetTree(databaseName_);
    ShowWelcome();

    job_ = std::make_unique<RecoveryJob>();
    SetJobButtons(false);
    recover_->setEnabled(false);
    if (progress_ != nullptr) progress_->deleteLater();
    progress_ = new RecoveryProgressDialog(*job_, databaseName_,
                                           QString::fromStdString(StorageFormatLabel(filePath_.toStdString())), this);
    connect(job_.get(), &RecoveryJob::tablePublished, this,
            [this](const std::shared_ptr<const TableInfo>& table) { tree_->AddTable(*table); });
    connect(job_.get(), &RecoveryJob::finished, this, &MainWindow::OnRecoveryFinished);
    progress_->setModal(true);
    progress_->open();
    if (beforeRecoveryStarts) beforeRecoveryStarts(*job_);
    job_->Start(filePath_);
}

void MainWindow::OnRecoveryFinished() {
    if (!job_) return;
    job_->Wait();
    recoveryDone_ = true;
    const AnalysisOutcome outcome = job_->outcome();
    const bool refused = outcome != AnalysisOutcome::Completed && outcome != AnalysisOutcome::Stopped;
    if (progress_ != nullptr) progress_->JobEnded(refused);
    std::vector<const TableInfo*> tables;
    for (const TableInfo& table : job_->analysis().tables()) tables.push_back(&table);
    tree_->SetRecoveredTables(std::move(tables), job_->complexColumns());
    SetJobButtons(true);
    if (outcome == AnalysisOutcome::Completed) damage_->ShowReport(job_->damage());
    if (refused) {
        QString text = QString::fromStdString(OutcomeMessage(outcome));
        if (outcome == AnalysisOutcome::CannotOpen) text = "The file cannot be opened.";
        const std::string why = outcome == AnalysisOutcome::CannotOpen ? job_->analysis().openError()
                                                                        : job_->analysis().refusalReason();
        if (!why.empty()) text += "\n\n" + QString::fromStdString(why);
        Prompts::Instance().tell(this, text.trimmed());
    }
}

void MainWindow::OnSelectionChanged() {
    if (recovering() || exporting_) return;
    QTreeWidgetItem* selected = tree_->currentItem();
    if (model_->busy()) {
        // The selection stays with the table being loaded.
        if (previewItem_ != nullptr && selected != previewItem_) {
            const QSignalBlocker block(tree_);
            tree_->setCurrentItem(previewItem_);
        }
        return;
    }
    const TableInfo* table = tree_->TableOf(selected);
    if (table == nullptr) return;
    QTreeWidgetItem* tableItem = tree_->TableItemOf(selected);
    tableName_->setText(tableItem->text(0));
    QTreeWidgetItem* previousTable = tree_->TableItemOf(previewItem_);
    previewItem_ = selected;
    if (previousTable == tableItem && model_->hasTable()) return;  // same table: the page shown stays
    if (previousTable != nullptr) previousTable->setExpanded(false);
    selected->setExpanded(true);
    StartPreview(*table);
}

void MainWindow::StartPreview(const TableInfo& table) {
    if (!job_) return;
    content_->setCurrentWidget(preview_);
    pageNumber_->setText("1");
    model_->ShowTable(job_->analysis().pages(), table, withheld_->isChecked(), job_->complexColumns());
    UpdatePagingButtons();
}

void MainWindow::UpdatePagingButtons() {
    prev_->setEnabled(model_->canGoBack());
    next_->setEnabled(model_->canGoForward());
}

void MainWindow::NextPage() {
    if (!model_->hasTable()) return;
    model_->NextPage();
    UpdatePagingButtons();
}

void MainWindow::PreviousPage() {
    if (!model_->hasTable()) return;
    model_->PreviousPage();
    UpdatePagingButtons();
}

void MainWindow::Export() {
    if (RefuseWhileBusy() || !job_ || !recoveryDone_) return;
    if (model_->busy()) return;  // a page is loading; Export is pressed again once it is shown
    std::vector<TableInfo> tables;
    for (const TableInfo* t : tree_->recoveredTables()) tables.push_back(*t);
    export_->setEnabled(false);
    if (options_ != nullptr) options_->deleteLater();
    options_ = new ExportOptionsDialog(databaseName_, std::move(tables), this);
    connect(options_, &QDialog::finished, this, [this](int result) {
        if (result != QDialog::Accepted || options_->folder().empty()) {
            export_->setEnabled(true);
            return;
        }
        StartExport();
    });
    options_->setModal(true);
    options_->open();
}

void MainWindow::StartExport() {
    ExportSettings settings;
    settings.target = options_->target();
    settings.content = options_->content();
    settings.folder = options_->folder();
    settings.tables = options_->chosenTables();
    exporting_ = true;
    if (exportDialog_ != nullptr) exportDialog_->deleteLater();
    exportDialog_ = new ExportDialog(job_->analysis().pages(), settings, databaseName_.toStdString(), this,
                                     &job_->valueDamage());
    connect(exportDialog_, &ExportDialog::jobFinished, this, [this] {
        // The export may have met damage in values the survey did not decode.
        if (job_) damage_->Refresh(job_->damage());
    });
    connect(exportDialog_, &QDialog::finished, this, [this] {
        exporting_ = false;
        export_->setEnabled(true);
    });
    exportDialog_->setModal(true);
    exportDialog_->open();
}

void MainWindow::ShowHelp() {
    auto* help = new QDialog(this);
    help->setAttribute(Qt::WA_DeleteOnClose);
    help->setWindowTitle("Pagewright Help");
    auto* browser = new QTextBrowser(help);
    browser->setSource(QUrl("qrc:/help.html"));
    auto* layout = new QVBoxLayout(help);
    layout->addWidget(browser);
    help->resize(720, 600);
    help->show();
}

void MainWindow::ShowAbout() {
    QMessageBox about(this);
    about.setWindowTitle("About Pagewright");
    about.setIconPixmap(AppIcon().pixmap(64, 64));
    about.setText("Pagewright - Version 3.3.0.0");
    about.setInformativeText(QString("Build %1").arg(PAGEWRIGHT_VERSION));
    about.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exporting_) {
        Prompts::Instance().tell(this, kExportBusy);
        event->ignore();
        return;
    }
    const bool busy = recovering();
    const QString question = busy ? QString(kRecoverBusy) + "\n\nStop the recovery and close the application?"
                                  : QString(" Are you sure you want to close the application? ");
    if (!Prompts::Instance().ask(this, question)) {
        event->ignore();
        return;
    }
    // The workers stop at their next page or table; closing never waits long.
    model_->Clear();
    if (job_) {
        job_->RequestStop();
        job_->Wait();
    }
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().size() == 1 &&
        event->mimeData()->urls().front().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = event->mimeData()->urls().front().toLocalFile();
    event->acceptProposedAction();
    OpenFile(path);
}

}  // namespace pw::app
