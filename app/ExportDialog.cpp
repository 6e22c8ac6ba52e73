#include "app/ExportDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QPointer>
#include <QVBoxLayout>

#include "app/ExportRun.h"
#include "app/Prompts.h"

namespace pw::app {
namespace {

constexpr const char* kStopQuestion = "Are you sure you want stop the export process ?";

// The closing line stays in view this long before the statistics replace it.
constexpr int kStatisticsPauseMs = 400;

// Only an Access export refuses values: the column shows when one did.
constexpr int kRefusedColumn = 2;
constexpr int kColumns = 3;

}  // namespace

ExportDialog::ExportDialog(const PageSource& pages, ExportSettings settings, std::string databaseName,
                           QWidget* parent, ValueDamage* recovery)
    : QDialog(parent),
      run_(std::make_unique<ExportRun>(pages, std::move(settings), std::move(databaseName), StatisticsFilePath(),
                                       recovery)) {
    setWindowTitle("Pagewright Export");

    lines_ = new QListWidget;
    bar_ = new QProgressBar;
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    percent_ = new QLabel("0 %");
    stop_ = new QPushButton("Stop");
    // Enter must not ask to stop an export by accident.
    stop_->setAutoDefault(false);

    // The progress lines go when the statistics come; how the export ended
    // stays in view above them.
    summary_ = new QLabel;
    summary_->setWordWrap(true);
    summary_->hide();
    statistics_ = new QTreeWidget;
    statistics_->setColumnCount(kColumns);
    statistics_->setHeaderLabels({"Table Names", "No. Of Records", "Values Refused"});
    statistics_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    statistics_->headerItem()->setTextAlignment(kRefusedColumn, Qt::AlignRight | Qt::AlignVCenter);
    statistics_->setRootIsDecorated(false);
    statistics_->setUniformRowHeights(true);
    statistics_->setAlternatingRowColors(true);
    statistics_->setSelectionBehavior(QAbstractItemView::SelectRows);
    statistics_->header()->setStretchLastSection(false);
    statistics_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    statistics_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    statistics_->header()->setSectionResizeMode(kRefusedColumn, QHeaderView::ResizeToContents);
    statistics_->hide();
    ok_ = new QPushButton("OK");
    ok_->hide();

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(bar_, 1);
    progressRow->addWidget(percent_);
    progressRow->addWidget(stop_);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lines_, 1);
    layout->addWidget(summary_);
    layout->addWidget(statistics_, 1);
    layout->addLayout(progressRow);
    layout->addLayout(okRow);
    resize(520, 400);

    connect(stop_, &QPushButton::clicked, this, &ExportDialog::OnStop);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    // Queued: the run emits on its worker thread.
    connect(run_.get(), &ExportRun::line, this, &ExportDialog::AddLine, Qt::QueuedConnection);
    connect(run_.get(), &ExportRun::percent, this, &ExportDialog::SetPercent, Qt::QueuedConnection);
    connect(run_.get(), &ExportRun::message, this, &ExportDialog::QueueMessage, Qt::QueuedConnection);
    connect(run_.get(), &ExportRun::finished, this, &ExportDialog::OnRunEnded, Qt::QueuedConnection);
}

ExportDialog::~ExportDialog() {
    // The run's own destructor stops and joins its worker; its posts to this
    // dialog die with it.
    run_.reset();
}

QString ExportDialog::percentText() const { return percent_->text(); }

void ExportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    run_->Start();
}

void ExportDialog::AddLine(const QString& line) { lines_->insertItem(0, line); }

void ExportDialog::SetPercent(int percent) {
    bar_->setValue(percent);
    percent_->setText(QString::number(percent) + "%");
}

void ExportDialog::QueueMessage(const QString& text) {
    // Once the person has chosen to close, what the run still reports is for
    // the error log only.
    if (closeRequested_) return;
    pendingMessages_ << text;
    if (showingMessage_) return;  // the open message's loop shows this one next
    showingMessage_ = true;
    const QPointer<ExportDialog> self(this);
    while (!pendingMessages_.isEmpty() && !closeRequested_) {
        Prompts::Instance().tell(this, pendingMessages_.takeFirst());
        if (self.isNull()) return;
    }
    pendingMessages_.clear();
    showingMessage_ = false;
}

void ExportDialog::OnRunEnded() {
    // The worker's last act was to post this: waiting cannot take long.
    run_->Wait();
    finished_ = true;
    outcome_ = run_->outcome();
    closingLine_ = QString::fromStdString(run_->closingLine());
    detail_ = QString::fromStdString(run_->lossesText());
    rows_ = run_->statistics();
    stop_->setEnabled(false);
    Q_EMIT jobFinished();
    if (closeRequested_) {
        QDialog::reject();
        return;
    }
    QTimer::singleShot(kStatisticsPauseMs, this, &ExportDialog::ShowStatistics);
}

void ExportDialog::ShowStatistics() {
    lines_->hide();
    bar_->hide();
    percent_->hide();
    stop_->hide();
    statistics_->clear();
    bool refused = false;
    for (const StatisticsRow& row : rows_) {
        if (row.exportedRows < 0) continue;
        auto* item = new QTreeWidgetItem(
            statistics_, {QString::fromStdString(row.tableName), QString::number(row.exportedRows),
                          row.rejectedValues > 0 ? QString::number(row.rejectedValues) : QString()});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(kRefusedColumn, Qt::AlignRight | Qt::AlignVCenter);
        refused = refused || row.rejectedValues > 0;
    }
    statistics_->setColumnHidden(kRefusedColumn, !refused);
    summary_->setText(detail_.isEmpty() ? closingLine_ : closingLine_ + "\n" + detail_);
    summary_->show();
    statistics_->show();
    ok_->show();
    ok_->setDefault(true);
    ok_->setFocus();
}

bool ExportDialog::ConfirmStop() { return Prompts::Instance().ask(this, kStopQuestion); }

void ExportDialog::OnStop() {
    if (finished_ || !ConfirmStop() || finished_) return;
    run_->RequestStop();
    // The job sees the request at its next check; one request is enough.
    stop_->setEnabled(false);
}

void ExportDialog::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    if (closeRequested_ || !ConfirmStop()) return;
    // The job may have ended while the question was open.
    if (finished_) {
        QDialog::reject();
        return;
    }
    closeRequested_ = true;
    run_->RequestStop();
    stop_->setEnabled(false);
}

}  // namespace pw::app
