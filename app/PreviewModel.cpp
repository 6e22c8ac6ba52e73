#include "app/PreviewModel.h"

#include <QBrush>
#include <QColor>
#include <QMetaObject>

#include "records/ComplexColumns.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"

namespace pw::app {

// What a loading thread needs; shared with it so that the table it walks
// stays alive even when the model moves on to another one.
struct PreviewModel::Loader {
    const PageSource* pages = nullptr;
    std::shared_ptr<const TableInfo> table;
    bool includeWithheld = false;
    const ComplexColumnIndex* complex = nullptr;
    StopFlag stop;
    // Walks forward page after page; kept between loads.
    std::unique_ptr<RecordWindow> window;
    int windowsRead = 0;
};

namespace {

bool LeftAligned(std::int32_t typeCode) {
    return typeCode == ColumnType::Date || typeCode == ColumnType::Text || typeCode == ColumnType::OleObject ||
           typeCode == ColumnType::Memo || typeCode == ColumnType::Guid || typeCode == ColumnType::Attachment;
}

}  // namespace

PreviewModel::PreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

PreviewModel::~PreviewModel() { StopLoader(); }

QString PreviewModel::CellText(const ColumnInfo& column, const CellValue& cell) {
    if (!cell.present || cell.text == kNullCell) {
        if (column.typeCode != ColumnType::Bit) return " ";
    }
    if (column.typeCode == ColumnType::Binary) return "#BINARY-OBJECT";
    if (column.typeCode == ColumnType::OleObject) return "#OLE-OBJECT";
    return QString::fromStdString(cell.text);
}

QString PreviewModel::ProblemText(ValueProblem problem) {
    return QString("Damaged value (%1): only what could be read is shown").arg(ValueProblemName(problem));
}

void PreviewModel::StopLoader() {
    if (loader_) loader_->stop.Request();
    if (worker_.joinable()) worker_.join();
    busy_ = false;
}

void PreviewModel::Clear() {
    StopLoader();
    beginResetModel();
    ++generation_;
    table_.reset();
    pages_ = nullptr;
    loader_.reset();
    pagesSeen_.clear();
    page_ = 0;
    endResetModel();
}

void PreviewModel::ShowTable(const PageSource& pages, const TableInfo& table, bool includeWithheld,
                             const ComplexColumnIndex* complex) {
    // `table` may be the one shown now, which Clear lets go.
    auto shown = std::make_shared<const TableInfo>(table);
    Clear();
    beginResetModel();
    table_ = std::move(shown);
    pages_ = &pages;
    includeWithheld_ = includeWithheld;
    loader_ = std::make_shared<Loader>();
    loader_->pages = pages_;
    loader_->table = table_;
    loader_->includeWithheld = includeWithheld;
    loader_->complex = HasComplexColumns(*table_) ? complex : nullptr;
    endResetModel();
    Load(1);
}

void PreviewModel::NextPage() {
    if (!table_ || busy_ || !canGoForward()) return;
    Load(page_ + 1);
}

void PreviewModel::PreviousPage() {
    if (!table_ || busy_ || page_ <= 1) return;
    Load(page_ - 1);
}

void PreviewModel::Load(int page) {
    if (page <= static_cast<int>(pagesSeen_.size())) {
        beginResetModel();
        page_ = page;
        endResetModel();
        Q_EMIT pageShown(page_, shownRows());
        return;
    }
    if (worker_.joinable()) worker_.join();
    busy_ = true;
    Q_EMIT loadStarted();
    const std::uint64_t generation = generation_;
    std::shared_ptr<Loader> loader = loader_;
    worker_ = std::thread([this, loader, generation, page] {
        const TableInfo& table = *loader->table;
        const RunControl run{&loader->stop, nullptr, nullptr};
        Page rows;
        const auto add = [&](const WalkedRow& row, const QString& mark) {
            ShownRow shown;
            shown.mark = mark;
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                if (c < row.cells.size() && loader->complex != nullptr &&
                    table.columns[c].typeCode == ColumnType::Attachment) {
                    // The row keeps the stored id; its values are in the hidden table.
                    CellValue cell = row.cells[c];
                    ResolveComplexCell(*loader->complex, table, table.columns[c], cell.text, cell.value);
                    shown.cells.push_back({CellText(table.columns[c], cell), cell.problem});
                } else if (c < row.cells.size())
                    shown.cells.push_back({CellText(table.columns[c], row.cells[c]), row.cells[c].problem});
                else
                    shown.cells.push_back({QString(" "), ValueProblem::None});
            }
            rows.push_back(std::move(shown));
        };
        if (loader->includeWithheld) {
            // Withheld rows have no window of their own: walk from the start
            // to the page asked for.
            RowWalker walker(*loader->pages, table, run, WalkOptions{.decodeValues = true, .includeDeleted = true});
            const std::size_t skip = static_cast<std::size_t>(page - 1) * kPageSize;
            std::size_t seen = 0;
            while (rows.size() < static_cast<std::size_t>(kPageSize) && walker.Next()) {
                const WalkedRow& row = walker.row();
                QString mark;
                if (row.IsDeletedRecord()) mark = kDeletedRowLabel;
                else if (row.IsStaleRecord()) mark = kStaleRowLabel;
                else if (!row.IsRecord()) continue;
                if (seen++ < skip) continue;
                add(row, mark);
            }
        } else {
            if (!loader->window) loader->window = std::make_unique<RecordWindow>(*loader->pages, table, run);
            std::vector<WalkedRow> records;
            while (loader->windowsRead < page && !loader->stop.Requested()) {
                loader->window->ReadNext(records);
                ++loader->windowsRead;
            }
            for (const WalkedRow& row : records) add(row, QString());
        }
        QMetaObject::invokeMethod(
            this, [this, generation, page, rows = std::move(rows)]() mutable { Deliver(generation, page, std::move(rows)); },
            Qt::QueuedConnection);
    });
}

void PreviewModel::Deliver(std::uint64_t generation, int page, Page rows) {
    if (generation != generation_) return;  // a load for a table no longer shown
    if (worker_.joinable()) worker_.join();
    beginResetModel();
    if (page == static_cast<int>(pagesSeen_.size()) + 1) pagesSeen_.push_back(std::move(rows));
    page_ = page;
    busy_ = false;
    endResetModel();
    Q_EMIT pageShown(page_, shownRows());
}

int PreviewModel::shownRows() const {
    if (page_ < 1 || page_ > static_cast<int>(pagesSeen_.size())) return 0;
    return static_cast<int>(pagesSeen_[static_cast<std::size_t>(page_ - 1)].size());
}

int PreviewModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows(); }

int PreviewModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !table_) return 0;
    return static_cast<int>(table_->columns.size()) + (includeWithheld_ ? 1 : 0);
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shownRows()) return {};
    const ShownRow& row = pagesSeen_[static_cast<std::size_t>(page_ - 1)][static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    const bool damaged = column < row.cells.size() && row.cells[column].problem != ValueProblem::None;
    if (role == Qt::DisplayRole) {
        if (column < row.cells.size()) return row.cells[column].text;
        return row.mark;
    }
    if (role == Qt::ForegroundRole && (!row.mark.isEmpty() || damaged)) return QBrush(QColor(128, 128, 128));
    if (role == Qt::ToolTipRole && damaged) return ProblemText(row.cells[column].problem);
    if (role == Qt::TextAlignmentRole && column < table_->columns.size())
        return QVariant::fromValue(Qt::Alignment(
            (LeftAligned(table_->columns[column].typeCode) ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter));
    return {};
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !table_) return {};
    if (orientation == Qt::Vertical) return section + 1 + (page_ - 1) * kPageSize;
    const auto column = static_cast<std::size_t>(section);
    if (column < table_->columns.size()) return QString::fromStdString(table_->columns[column].name);
    return QString(kRowKindColumn);
}

}  // namespace pw::app
