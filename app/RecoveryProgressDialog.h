#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace pw::app {

class RecoveryJob;

// Shows one recovery job as it runs: a bar (pages to 50 %, tables to 100 %),
// the status lines newest first, the database name and storage format, the
// tables read of those found and the tables without a name. "Stop" asks the
// job to stop; once the job has ended the button reads "Close". Closing it
// from the title bar leaves the job running.
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

public Q_SLOTS:
    void AddLine(const QString& line);
    void SetPercent(int value);
    void SetTableCounts(int read, int total);
    void CountTable(bool unnamed);
    // The job has ended: 100 %, "Close", and "Recovery Completed" unless the
    // file was refused.
    void JobEnded(bool refused);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnButton();

    RecoveryJob& job_;
    QProgressBar* bar_;
    QLabel* percent_;
    QPushButton* button_;
    QLabel* databaseName_;
    QLabel* storageFormat_;
    QLabel* tablesFound_;
    QLabel* unnamed_;
    QListWidget* lines_;
    int tablesRead_ = 0;
    int tablesTotal_ = 0;
    int unnamedCount_ = 0;
    bool ended_ = false;
};

}  // namespace pw::app
