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
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>

#include "app/Prompts.h"
#include "engine/AccessExport.h"
#include "status/Logging.h"

namespace pw::app {
namespace {

constexpr const char* kStopQuestion = "Are you sure you want stop the export process ?";

// The closing line stays in view this long before the statistics replace it.
constexpr int kStatisticsPauseMs = 400;

}  // namespace

ExportDialog::ExportDialog(const PageSource& pages, ExportSettings settings, std::string databaseName,
                           QWidget* parent)
    : QDialog(parent),
      pages_(pages),
      settings_(std::move(settings)),
      databaseName_(std::move(databaseName)),
      statisticsFile_(StatisticsFilePath()) {
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
    summary_->hide();
    statistics_ = new QTreeWidget;
    statistics_->setColumnCount(2);
    statistics_->setHeaderLabels({"Table Names", "No. Of Records"});
    statistics_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    statistics_->setRootIsDecorated(false);
    statistics_->setUniformRowHeights(true);
    statistics_->setAlternatingRowColors(true);
    statistics_->setSelectionBehavior(QAbstractItemView::SelectRows);
    statistics_->header()->setStretchLastSection(false);
    statistics_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    statistics_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
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
}

ExportDialog::~ExportDialog() {
    stopFlag_.Request();
    ReleaseWorker();
    if (worker_.joinable()) worker_.join();
}

QString ExportDialog::percentText() const { return percent_->text(); }

void ExportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) Start();
}

void ExportDialog::Start() {
    started_ = true;
    worker_ = std::thread(&ExportDialog::Work, this);
}

void ExportDialog::Work() {
    ExportOutcome outcome = ExportOutcome::Failed;
    std::string closingLine = kExportFailed;
    std::vector<StatisticsRow> rows;
    try {
        std::unique_ptr<AccessExport> access;
        if (settings_.target == ExportTarget::Access)
            access =
                std::make_unique<AccessExport>(pages_, databaseName_, settings_.content,
                                               [this](const std::string& text) { ShowMessageAndWait(text); });
        ExportJob job(pages_, settings_, access.get());
        ExportCallbacks callbacks;
        callbacks.onLine = [this](const std::string& line) {
            QMetaObject::invokeMethod(
                this, [this, text = QString::fromStdString(line)] { AddLine(text); }, Qt::QueuedConnection);
        };
        callbacks.onProgress = [this](int percent) {
            QMetaObject::invokeMethod(
                this, [this, percent] { SetPercent(percent); }, Qt::QueuedConnection);
        };
        job.Run(callbacks, statisticsFile_, RunControl{&stopFlag_, nullptr, nullptr});
        outcome = job.outcome();
        closingLine = job.closingLine();
        rows = job.statistics();
    } catch (const std::exception& e) {
        // An escaped exception would end the process; the person is told the
        // export failed and the error log keeps why.
        WriteLog(0, 0, std::string("Export ended by an error: ") + e.what(), true);
        QMetaObject::invokeMethod(
            this, [this, text = QString(kExportFailed)] { AddLine(text); }, Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(
        this,
        [this, outcome, text = QString::fromStdString(closingLine), rows = std::move(rows)] {
            OnWorkerEnded(outcome, text, rows);
        },
        Qt::QueuedConnection);
}

void ExportDialog::ShowMessageAndWait(const std::string& text) {
    std::unique_lock lock(messageMutex_);
    if (going_) return;
    const std::uint64_t ticket = ++messagesAsked_;
    lock.unlock();
    QMetaObject::invokeMethod(
        this,
        [this, ticket, message = QString::fromStdString(text)] {
            bool show = false;
            {
                const std::lock_guard guard(messageMutex_);
                show = !going_;
            }
            if (show) Prompts::Instance().tell(this, message);
            {
                const std::lock_guard guard(messageMutex_);
                messagesSeen_ = std::max(messagesSeen_, ticket);
            }
            messageSeen_.notify_all();
        },
        Qt::QueuedConnection);
    // Not a blocking queued call: a dialog that closes or is destroyed must
    // be able to free the worker without the GUI thread's event loop running.
    lock.lock();
    messageSeen_.wait(lock, [&] { return going_ || messagesSeen_ >= ticket; });
}

void ExportDialog::ReleaseWorker() {
    {
        const std::lock_guard guard(messageMutex_);
        going_ = true;
    }
    messageSeen_.notify_all();
}

void ExportDialog::AddLine(const QString& line) { lines_->insertItem(0, line); }

void ExportDialog::SetPercent(int percent) {
    bar_->setValue(percent);
    percent_->setText(QString::number(percent) + "%");
}

void ExportDialog::OnWorkerEnded(ExportOutcome outcome, const QString& closingLine,
                                 const std::vector<StatisticsRow>& rows) {
    // The worker's last act was to post this: joining cannot wait long.
    if (worker_.joinable()) worker_.join();
    finished_ = true;
    outcome_ = outcome;
    closingLine_ = closingLine;
    rows_ = rows;
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
    for (const StatisticsRow& row : rows_) {
        if (row.exportedRows < 0) continue;
        auto* item = new QTreeWidgetItem(
            statistics_, {QString::fromStdString(row.tableName), QString::number(row.exportedRows)});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    summary_->setText(closingLine_);
    summary_->show();
    statistics_->show();
    ok_->show();
    ok_->setDefault(true);
    ok_->setFocus();
}

bool ExportDialog::ConfirmStop() { return Prompts::Instance().ask(this, kStopQuestion); }

void ExportDialog::OnStop() {
    if (finished_ || !ConfirmStop() || finished_) return;
    stopFlag_.Request();
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
    stopFlag_.Request();
    ReleaseWorker();
    stop_->setEnabled(false);
}

}  // namespace pw::app
