#include "app/RecoveryProgressDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/RecoveryJob.h"

namespace pw::app {
namespace {

QString StageText(ProgressStage stage) {
    switch (stage) {
        case ProgressStage::Pages: return "Reading pages";
        case ProgressStage::Tables: return "Reading tables";
        case ProgressStage::Rows: return "Reading rows";
    }
    return {};
}

// Pages fill the first half of the bar, tables the second; rows are counted
// within a table and move no bar of their own.
int BarValue(ProgressStage stage, qint64 done, qint64 total) {
    const double part = static_cast<double>(std::min(done, total)) / static_cast<double>(total);
    if (stage == ProgressStage::Pages) return static_cast<int>(part * 50.0);
    if (stage == ProgressStage::Tables) return static_cast<int>(part * 50.0 + 50.0);
    return -1;
}

}  // namespace

RecoveryProgressDialog::RecoveryProgressDialog(RecoveryJob& job, const QString& databaseName,
                                               const QString& storageFormat, QWidget* parent)
    : QDialog(parent), job_(job) {
    setWindowTitle("Pagewright Progress");
    bar_ = new QProgressBar;
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    percent_ = new QLabel("0 %");
    button_ = new QPushButton("Stop");
    connect(button_, &QPushButton::clicked, this, &RecoveryProgressDialog::OnButton);

    auto* details = new QGroupBox("Progress details");
    auto* grid = new QGridLayout(details);
    databaseName_ = new QLabel(databaseName);
    storageFormat_ = new QLabel(storageFormat);
    stage_ = new QLabel("Opening the file");
    tablesFound_ = new QLabel("0 (0)");
    unnamed_ = new QLabel("0");
    grid->addWidget(new QLabel("Database Name : "), 0, 0);
    grid->addWidget(databaseName_, 0, 1);
    grid->addWidget(new QLabel("Storage Format : "), 1, 0);
    grid->addWidget(storageFormat_, 1, 1);
    grid->addWidget(new QLabel("Stage : "), 2, 0);
    grid->addWidget(stage_, 2, 1);
    grid->addWidget(new QLabel("Tables Found : "), 3, 0);
    grid->addWidget(tablesFound_, 3, 1);
    grid->addWidget(new QLabel("Unnamed Table :"), 4, 0);
    grid->addWidget(unnamed_, 4, 1);
    grid->setColumnStretch(1, 1);
    lines_ = new QListWidget;

    auto* barRow = new QHBoxLayout;
    barRow->addWidget(bar_, 1);
    barRow->addWidget(percent_);
    barRow->addWidget(button_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(barRow);
    layout->addWidget(details);
    layout->addWidget(lines_, 1);
    resize(520, 420);

    connect(&job_, &RecoveryJob::statusLine, this, &RecoveryProgressDialog::AddLine);
    connect(&job_, &RecoveryJob::progress, this, &RecoveryProgressDialog::ShowProgress);
    connect(&job_, &RecoveryJob::tablePublished, this,
            [this](const std::shared_ptr<const TableInfo>& table) { CountTable(table->generatedName); });
}

QString RecoveryProgressDialog::tablesFoundText() const { return tablesFound_->text(); }
QString RecoveryProgressDialog::unnamedText() const { return unnamed_->text(); }
QString RecoveryProgressDialog::percentText() const { return percent_->text(); }
QString RecoveryProgressDialog::stageText() const { return stage_->text(); }

void RecoveryProgressDialog::AddLine(const QString& line) {
    if (ended_) return;
    lines_->insertItem(0, line);
}

void RecoveryProgressDialog::ShowProgress(ProgressStage stage, qint64 done, qint64 total) {
    if (ended_ || total <= 0) return;
    stage_->setText(StageText(stage));
    if (stage == ProgressStage::Tables) tablesFound_->setText(QString("%1 (%2)").arg(done).arg(total));
    // A second pass over the pages (after the page grid was looked for)
    // must not move the bar back.
    const int value = BarValue(stage, done, total);
    if (value > bar_->value()) SetPercent(value);
}

void RecoveryProgressDialog::SetPercent(int value) {
    bar_->setValue(value);
    percent_->setText(QString::number(value) + "%");
}

void RecoveryProgressDialog::CountTable(bool unnamed) {
    if (!unnamed) return;
    unnamed_->setText(QString::number(++unnamedCount_));
}

void RecoveryProgressDialog::JobEnded(bool refused) {
    if (ended_) return;
    SetPercent(100);
    stage_->setText(refused ? "Refused" : "Finished");
    if (!refused) lines_->insertItem(0, "Recovery Completed");
    ended_ = true;
    button_->setText("Close");
    button_->setEnabled(true);
}

void RecoveryProgressDialog::OnButton() {
    if (!ended_) {
        job_.RequestStop();
        button_->setEnabled(false);  // until the job has wound up
        return;
    }
    accept();
}

void RecoveryProgressDialog::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape must not close the dialog while a job runs.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace pw::app
