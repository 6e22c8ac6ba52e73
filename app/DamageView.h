#pragma once

#include <QWidget>
#include <cstdint>

class QToolButton;
class QTreeWidget;

namespace pw {
class DamageReport;
}

namespace pw::app {

// The damage report of a finished recovery under the tables: a summary with
// a count per kind of damage, the tables that lost something, and the first
// events with their page and slot. A toggle folds the report away; the whole
// view stays hidden until a report is shown.
class DamageView : public QWidget {
    Q_OBJECT
public:
    explicit DamageView(QWidget* parent = nullptr);

    void ShowReport(const DamageReport& report);
    // Shows the report again when it has events the view does not list yet
    // (an export added them), folded or open as it was.
    void Refresh(const DamageReport& report);
    // Empty and hidden, as before any recovery.
    void Clear();

    QTreeWidget* tree() const { return tree_; }
    QToolButton* toggle() const { return toggle_; }

    // Events listed at most: the report keeps more, the view is for a glance.
    static constexpr int kShownEvents = 50;

private:
    void SetOpen(bool open);

    QToolButton* toggle_;
    QTreeWidget* tree_;
    std::int64_t shownEvents_ = 0;
};

}  // namespace pw::app
