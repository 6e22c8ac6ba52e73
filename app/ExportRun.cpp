#include "app/ExportRun.h"

#include <exception>
#include <memory>

#include "export/AccessExport.h"
#include "status/Logging.h"

namespace pw::app {

ExportRun::ExportRun(const PageSource& pages, ExportSettings settings, std::string databaseName,
                     std::filesystem::path statisticsFile, QObject* parent)
    : QObject(parent),
      pages_(pages),
      settings_(std::move(settings)),
      databaseName_(std::move(databaseName)),
      statisticsFile_(std::move(statisticsFile)) {}

ExportRun::~ExportRun() {
    stop_.Request();
    Wait();
}

void ExportRun::Start() {
    if (worker_.joinable()) return;  // one run, one export
    running_ = true;
    worker_ = std::thread(&ExportRun::Work, this);
}

void ExportRun::Wait() {
    if (worker_.joinable()) worker_.join();
}

void ExportRun::Work() {
    try {
        std::unique_ptr<AccessExport> access;
        if (settings_.target == ExportTarget::Access)
            access = std::make_unique<AccessExport>(
                pages_, databaseName_, settings_.content,
                [this](const std::string& text) { Q_EMIT message(QString::fromStdString(text)); });
        ExportJob job(pages_, settings_, access.get());
        ExportCallbacks callbacks;
        callbacks.onLine = [this](const std::string& text) {
            if (onWorkerLine) onWorkerLine(text);
            Q_EMIT line(QString::fromStdString(text));
        };
        callbacks.onProgress = [this, shown = -1](int value) mutable {
            // Only changes are posted: a long list of tables must not flood
            // the GUI thread's queue.
            if (value == shown) return;
            shown = value;
            Q_EMIT percent(value);
        };
        job.Run(callbacks, statisticsFile_, RunControl{&stop_, nullptr, nullptr});
        outcome_ = job.outcome();
        closingLine_ = job.closingLine();
        statistics_ = job.statistics();
    } catch (const std::exception& e) {
        // An escaped exception would end the process; the person is told the
        // export failed and the error log keeps why.
        WriteLog(LogFile::Error, std::string("Export ended by an error: ") + e.what());
        outcome_ = ExportOutcome::Failed;
        closingLine_ = kExportFailed;
        Q_EMIT line(QString(kExportFailed));
    }
    running_ = false;
    Q_EMIT finished();
}

}  // namespace pw::app
