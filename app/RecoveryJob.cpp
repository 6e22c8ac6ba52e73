#include "app/RecoveryJob.h"

#include "salvage/TableDamage.h"

namespace pw::app {

// Turns the analysis's reports into signals. Page progress comes after every
// page; only changes of the shown percentage are posted, so a large file
// does not flood the GUI thread's queue.
class RecoveryJob::Sink : public ProgressSink {
public:
    explicit Sink(RecoveryJob& job) : job_(job) {}

    void OnStatusLine(const std::string& line) override {
        if (job_.onWorkerStatus) job_.onWorkerStatus(line);
        Q_EMIT job_.statusLine(QString::fromStdString(line));
    }
    void OnProgress(ProgressStage stage, std::int64_t done, std::int64_t total) override {
        if (total <= 0) return;
        int value = 0;
        if (stage == ProgressStage::Pages) {
            if (pagesOver_) return;
            value = static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 50.0);
            if (done >= total) pagesOver_ = true;
        } else if (stage == ProgressStage::Tables) {
            pagesOver_ = true;
            value = static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 50.0 + 50.0);
            Q_EMIT job_.tableCounts(static_cast<int>(done), static_cast<int>(total));
        } else {
            return;
        }
        if (value == shown_) return;
        shown_ = value;
        Q_EMIT job_.percent(value);
    }

private:
    RecoveryJob& job_;
    int shown_ = -1;
    bool pagesOver_ = false;
};

RecoveryJob::RecoveryJob(QObject* parent) : QObject(parent) {
    qRegisterMetaType<std::shared_ptr<const pw::TableInfo>>();
}

RecoveryJob::~RecoveryJob() {
    stop_.Request();
    Wait();
}

void RecoveryJob::Start(const QString& path) {
    Wait();
    stop_.Clear();
    running_ = true;
    worker_ = std::thread(&RecoveryJob::Work, this, path.toStdString());
}

void RecoveryJob::Wait() {
    if (worker_.joinable()) worker_.join();
}

void RecoveryJob::Work(std::string path) {
    Sink sink(*this);
    const RunControl run{&stop_, &sink, &damage_};
    const auto publish = [this](const TableInfo& table) {
        Q_EMIT tablePublished(std::make_shared<const TableInfo>(table));
    };
    const AnalysisOutcome outcome = analysis_.Run(path, run, publish);
    if (outcome == AnalysisOutcome::Completed) {
        damage_.SetFileFacts(analysis_.fileFacts());
        // What each table holds and lost, for the damage report shown afterwards.
        SurveyTables(analysis_.pages(), analysis_.tables(), RunControl{&stop_, nullptr, &damage_}, damage_);
    }
    running_ = false;
    Q_EMIT finished();
}

}  // namespace pw::app
