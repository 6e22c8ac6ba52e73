#include "app/RecoveryJob.h"

#include "salvage/TableDamage.h"

namespace pw::app {

// Turns the analysis's reports into signals. Progress comes after every page;
// a count is posted only when its thousandths change (every table counts), so
// a large file does not flood the GUI thread's queue.
class RecoveryJob::Sink : public ProgressSink {
public:
    explicit Sink(RecoveryJob& job) : job_(job) {}

    void OnStatusLine(const std::string& line) override {
        if (job_.onWorkerStatus) job_.onWorkerStatus(line);
        Q_EMIT job_.statusLine(QString::fromStdString(line));
    }
    void OnProgress(ProgressStage stage, std::int64_t done, std::int64_t total) override {
        if (total <= 0) return;
        const std::int64_t thousandths = done * 1000 / total;
        if (stage == lastStage_ && thousandths == lastThousandths_ && stage != ProgressStage::Tables &&
            done < total)
            return;
        lastStage_ = stage;
        lastThousandths_ = thousandths;
        Q_EMIT job_.progress(stage, done, total);
    }

private:
    RecoveryJob& job_;
    ProgressStage lastStage_ = ProgressStage::Pages;
    std::int64_t lastThousandths_ = -1;
};

RecoveryJob::RecoveryJob(QObject* parent) : QObject(parent) {
    qRegisterMetaType<std::shared_ptr<const pw::TableInfo>>();
    qRegisterMetaType<pw::ProgressStage>();
}

RecoveryJob::~RecoveryJob() {
    stop_.Request();
    complexStop_.Request();
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
        // The tree and the previews read through the index: like every
        // preview, they add nothing to the damage report.
        auto complex =
            std::make_unique<ComplexColumnIndex>(analysis_.pages(), RunControl{&complexStop_, nullptr, nullptr});
        if (complex->linkedColumns() > 0) complex_ = std::move(complex);
    }
    running_ = false;
    Q_EMIT finished();
}

}  // namespace pw::app
