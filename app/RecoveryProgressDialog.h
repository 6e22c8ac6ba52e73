#pragma once

#include <QDialog>
#include <QtGlobal>

#include "status/RunControl.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace pw::app {

class RecoveryJob;

// Shows one recovery job as it runs: the stage it is at and a bar (pages to
// 50 %, tables to 100 %) that follow the job's progress counts, the status
// lines newest first, the database name and storage format, the tables read
// of those found and the tables without a name. "Stop" asks the job to stop;
// once the job has ended the button reads "Close". Closing it from the title
// bar leaves the job running.
class RecoveryProgressDialog : public QDialog {
    Q_OBJECT
public:
    RecoveryProgressDialog(RecoveryJob& job, const QString& databaseName, const QString& storageFormat,
                           QWidget* parent = nullptr);

    QPushButton* stopButton() const { return button_; }
    QListWidget* lines() const { return lines_; }
    QProgressBar* bar() const { return bar_; }
    QString tablesFoundText() const;
    QString unnamedText() const;
    QString percentText() const;
    QString stageText() const;

public Q_SLOTS:
    void AddLine(const QString& line);
    void ShowProgress(pw::ProgressStage stage, qint64 done, qint64 total);
    void CountTable(bool unnamed);
    // The job has ended: 100 %, "Close", and "Recovery Completed" unless the
    // file was refused.
    void JobEnded(bool refused);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnButton();
    void SetPercent(int value);

    RecoveryJob& job_;
    QProgressBar* bar_;
    QLabel* percent_;
    QPushButton* button_;
    QLabel* databaseName_;
    QLabel* storageFormat_;
    QLabel* stage_;
    QLabel* tablesFound_;
    QLabel* unnamed_;
    QListWidget* lines_;
    int unnamedCount_ = 0;
    bool ended_ = false;
};

}  // namespace pw::app
