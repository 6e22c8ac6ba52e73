#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <memory>
#include <thread>
#include <vector>

#include "pagestore/PageSource.h"
#include "records/RecordWindow.h"
#include "records/ValueProblem.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {
class ComplexColumnIndex;
}

namespace pw::app {

// One page of a table's records for the main window's list: pages of 100
// records, loaded on a worker thread so a large table never blocks the
// window; the model shows a page once it is complete. Paging forwards
// continues the table's own walk; pages already seen are kept, so paging
// back shows them again at once. With withheld rows asked for, deleted rows
// and rows of pages no longer in use are listed in store order too, marked
// and shown greyed. A value that could not be read in full shows what was
// read of it, greyed, its tooltip naming what went wrong. Attachment cells
// list their file names and multi-value cells their values, as exports do.
class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageSize = RecordWindow::kWindowSize;

    explicit PreviewModel(QObject* parent = nullptr);
    ~PreviewModel() override;

    // Starts again at page 1 of `table` (the pages, and `complex` when given,
    // must outlive the model's use of them: until Clear).
    void ShowTable(const PageSource& pages, const TableInfo& table, bool includeWithheld,
                   const ComplexColumnIndex* complex = nullptr);
    // Forgets the table (the file's pages are going away).
    void Clear();
    void NextPage();
    void PreviousPage();

    bool busy() const { return busy_; }
    int page() const { return page_; }
    bool hasTable() const { return table_ != nullptr; }
    bool canGoBack() const { return !busy_ && page_ > 1; }
    bool canGoForward() const { return !busy_ && shownRows() >= kPageSize; }
    int shownRows() const;
    const TableInfo* table() const { return table_.get(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The text a cell shows: NULL as a blank, binary and OLE values by kind.
    static QString CellText(const ColumnInfo& column, const CellValue& cell);
    // The tooltip of a value that could not be read in full.
    static QString ProblemText(ValueProblem problem);

Q_SIGNALS:
    // A page load began (busy) or its page is now shown.
    void loadStarted();
    void pageShown(int page, int rows);

private:
    struct ShownCell {
        QString text;
        ValueProblem problem = ValueProblem::None;
    };
    struct ShownRow {
        std::vector<ShownCell> cells;
        QString mark;  // "", "deleted" or "stale"
    };
    using Page = std::vector<ShownRow>;
    struct Loader;

    void Load(int page);
    void Deliver(std::uint64_t generation, int page, Page rows);
    void StopLoader();

    std::shared_ptr<const TableInfo> table_;
    const PageSource* pages_ = nullptr;
    bool includeWithheld_ = false;
    std::vector<Page> pagesSeen_;  // pagesSeen_[k] is page k + 1
    int page_ = 0;
    bool busy_ = false;
    std::uint64_t generation_ = 0;
    std::shared_ptr<Loader> loader_;
    std::thread worker_;
};

}  // namespace pw::app
