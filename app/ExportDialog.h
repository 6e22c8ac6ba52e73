#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "export/ExportJob.h"
#include "export/StatisticsLog.h"
#include "pagestore/PageSource.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace pw::app {

class ExportRun;
class ValueDamage;

// Shows one export run from the moment it is first shown: the progress lines
// newest first, a bar and its percentage, and "Stop". The messages of the
// Access target are shown as they come, one at a time, while the export goes
// on. When the run has ended, the statistics (rows exported per table) take
// the lines' place with "OK", and the values the new database refused, if
// any, beside each table's count. An export that lost something says so
// above them, with where to read what. Closing it while the run works asks
// first; on Yes the run is asked to stop and the dialog closes as soon as it
// has ended.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    // `pages` must outlive the dialog. `databaseName`: the damaged file's name
    // without folder and extension, for the name of a new Access database.
    // `recovery`: the report of the recovery the pages come from (see ExportRun).
    ExportDialog(const PageSource& pages, ExportSettings settings, std::string databaseName,
                 QWidget* parent = nullptr, ValueDamage* recovery = nullptr);
    // Asks a run still working to stop and waits for it; the worker never
    // waits on this thread, so this ends.
    ~ExportDialog() override;

    // The worker has ended.
    bool workerEnded() const { return finished_; }
    ExportOutcome outcome() const { return outcome_; }
    QString closingLine() const { return closingLine_; }
    // The text under the closing line: empty unless the export had losses.
    QString summaryDetail() const { return detail_; }
    QLabel* summaryLabel() const { return summary_; }
    QString percentText() const;

    QPushButton* stopButton() const { return stop_; }
    QPushButton* okButton() const { return ok_; }
    QTreeWidget* statisticsView() const { return statistics_; }
    QListWidget* linesView() const { return lines_; }
    ExportRun& run() const { return *run_; }

public Q_SLOTS:
    void reject() override;

Q_SIGNALS:
    // The worker has ended; the statistics follow a moment later unless the
    // dialog is closing.
    void jobFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddLine(const QString& line);
    void SetPercent(int percent);
    void QueueMessage(const QString& text);
    void OnRunEnded();
    void ShowStatistics();
    void OnStop();
    bool ConfirmStop();

    std::unique_ptr<ExportRun> run_;

    QListWidget* lines_;
    QProgressBar* bar_;
    QLabel* percent_;
    QPushButton* stop_;
    QLabel* summary_;
    QTreeWidget* statistics_;
    QPushButton* ok_;

    bool started_ = false;
    bool finished_ = false;
    bool closeRequested_ = false;
    ExportOutcome outcome_ = ExportOutcome::Failed;
    QString closingLine_;
    QString detail_;
    std::vector<StatisticsRow> rows_;

    // Messages of the Access target not yet shown; one is open at a time, so
    // a burst of failures never stacks message boxes.
    QStringList pendingMessages_;
    bool showingMessage_ = false;
};

}  // namespace pw::app
