#pragma once

#include <QDialog>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/ExportJob.h"
#include "export/StatisticsLog.h"
#include "pagestore/PageSource.h"
#include "status/RunControl.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace pw::app {

// Runs one export on a worker thread from the moment it is first shown: the
// progress lines newest first, a bar and its percentage, and "Stop". When the
// job has ended, the statistics (rows exported per table) take their place
// with "OK". Closing it while the job runs asks first; on Yes the job is asked
// to stop and the dialog closes as soon as the worker has ended.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    // `pages` must outlive the dialog. `databaseName`: the damaged file's name
    // without folder and extension, for the name of a new Access database.
    ExportDialog(const PageSource& pages, ExportSettings settings, std::string databaseName,
                 QWidget* parent = nullptr);
    // Asks a job still running to stop and waits for it; the worker never
    // waits on this thread once the dialog is going, so this ends.
    ~ExportDialog() override;

    // The worker has ended.
    bool workerEnded() const { return finished_; }
    ExportOutcome outcome() const { return outcome_; }
    QString closingLine() const { return closingLine_; }
    QString percentText() const;

    QPushButton* stopButton() const { return stop_; }
    QPushButton* okButton() const { return ok_; }
    QTreeWidget* statisticsView() const { return statistics_; }
    QListWidget* linesView() const { return lines_; }

public Q_SLOTS:
    void reject() override;

Q_SIGNALS:
    // The worker has ended; the statistics follow a moment later unless the
    // dialog is closing.
    void jobFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Start();
    void Work();
    // Shows a message of the Access export and returns once it was seen, or
    // at once when the dialog is going.
    void ShowMessageAndWait(const std::string& text);
    void AddLine(const QString& line);
    void SetPercent(int percent);
    void OnWorkerEnded(ExportOutcome outcome, const QString& closingLine,
                       const std::vector<StatisticsRow>& rows);
    void ShowStatistics();
    void OnStop();
    bool ConfirmStop();
    // Frees a worker that waits for a message to be seen.
    void ReleaseWorker();

    const PageSource& pages_;
    ExportSettings settings_;
    std::string databaseName_;
    std::filesystem::path statisticsFile_;

    QListWidget* lines_;
    QProgressBar* bar_;
    QLabel* percent_;
    QPushButton* stop_;
    QLabel* summary_;
    QTreeWidget* statistics_;
    QPushButton* ok_;

    StopFlag stopFlag_;
    std::thread worker_;
    bool started_ = false;
    bool finished_ = false;
    bool closeRequested_ = false;
    ExportOutcome outcome_ = ExportOutcome::Failed;
    QString closingLine_;
    std::vector<StatisticsRow> rows_;

    // The hand-over of a message between the worker and this thread.
    std::mutex messageMutex_;
    std::condition_variable messageSeen_;
    std::uint64_t messagesAsked_ = 0;
    std::uint64_t messagesSeen_ = 0;
    // The dialog is closing or being destroyed: no message waits any more.
    bool going_ = false;
};

}  // namespace pw::app
