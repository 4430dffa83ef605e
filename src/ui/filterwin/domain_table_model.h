#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>

#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "export/columns.h"
#include "filter/filter_expr.h"
#include "table_row.h"

namespace jilan::ui::filterwin {

using exporting::Column;

// The table's columns: those of the column catalogue that the table shows, in its order.
inline constexpr int kTableColumnCount = static_cast<int>(exporting::kTableColumns.size());

// The table's place of a column; -1 when the table does not show it.
constexpr int tableIndexOf(Column column) {
    return exporting::placeIn(exporting::kTableColumns, column);
}

// The filter line and the toggles, compiled; a row is shown when both hold.
struct RowFilter {
    filter::Filter line;
    filter::Filter toggles;

    bool matches(const TableRow& row) const noexcept {
        const bool isNew = row.isNew.value_or(false);
        return line.matches(row.features, isNew, row.watched) &&
               toggles.matches(row.features, isNew, row.watched);
    }
};

// Orders two rows by one column: numbers as numbers, dates as dates, text as text; a row
// without a value goes after every row with one, whichever the direction.
bool rowLess(const TableRow& a, const TableRow& b, Column column, bool descending);

// Every row of the source, with a vector of the row numbers the filter shows in the order
// the sort gives. Rows arriving in a burst are shown together, at most once every
// kArrivalIntervalMs: a harvest adds rows a hundred times a second, and each showing costs
// the table a layout and a repaint.
class DomainTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DomainTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Stable: rows equal in the column keep their order of arrival.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    static constexpr int kArrivalIntervalMs = 100;
    // Sorted arrivals landing in more places than this are shown by one change of layout
    // rather than one insert each.
    static constexpr std::size_t kMaxInsertRuns = 32;

    // Drops every row (a new source).
    void clear();
    // Queued; shown at the next turn of the event loop, or kArrivalIntervalMs after the last
    // showing, or by flush().
    void append(std::vector<TableRow> rows);
    void append(TableRow row);
    void flush();
    bool pending() const { return !incoming_.empty(); }
    // The shortest time between two showings of arrivals (kArrivalIntervalMs by default).
    void setArrivalInterval(int ms) { arrivalIntervalMs_ = ms; }
    // While held (nobody looks at the table), arrivals are only kept; release shows them.
    void setHeld(bool held);
    bool held() const { return held_; }

    void setFilter(RowFilter filter);
    // The weights rows are scored with as they arrive (set before the first row).
    void setScoreWeights(filter::ScoreWeights weights) { scoreWeights_ = std::move(weights); }
    const filter::ScoreWeights& scoreWeights() const { return scoreWeights_; }
    // Fills the detail columns of every row of that name (case-insensitive), queued rows too.
    void setDetails(const std::string& domain, const DetailCells& cells);
    void setDetails(const std::vector<std::pair<std::string, DetailCells>>& found);
    // 新 for every row of these names; with `replace`, every other row is not new.
    void setNewNames(const std::vector<std::string>& keys, bool replace = true);
    // When the history saw these names (a listed name's 首次发现, 最近发现, 出现次数).
    void setSightings(const std::vector<std::pair<std::string, exporting::Sightings>>& found);

    // The watchlist's keys: every row of them is 关注, queued and later rows too.
    void setWatchedNames(std::unordered_set<std::string> keys);
    // Watches or unwatches these name keys' rows.
    void setWatched(const std::vector<std::string>& keys, bool watched);
    bool watched(const std::string& key) const { return watchedKeys_.contains(key); }
    const std::unordered_set<std::string>& watchedNames() const { return watchedKeys_; }

    int total() const { return static_cast<int>(rows_.size()); }
    int shown() const { return static_cast<int>(visible_.size()); }
    const TableRow& rowAt(int viewRow) const { return rows_[visible_[viewRow]]; }
    const std::deque<TableRow>& rows() const { return rows_; }
    // Suffixes by how many rows have them, most frequent first (ties by name).
    std::vector<std::pair<std::string, int>> suffixCounts() const;
    int sortColumn() const { return sortColumn_; }

Q_SIGNALS:
    // The rows shown or their number changed (filter, sort, arrivals).
    void shownChanged();

private:
    void scheduleFlush();
    void scoreRow(TableRow& row) const;
    void refilter();
    void sortRows(std::vector<int>& rows) const;
    // Shows arrived rows (already in order_) that pass the filter, sorted among themselves.
    void insertSorted(const std::vector<int>& passing);
    // Row number: rows_ first, then the queued rows in the order they will join rows_.
    TableRow& numbered(std::size_t number);
    const std::vector<std::size_t>& rowsNamed(const std::string& key);
    // Emits dataChanged over the detail columns when one of these row numbers is shown.
    void detailsChanged(const std::vector<std::size_t>& numbers);
    // Sets 关注 on those rows; repaints the column when one of them is shown.
    void markWatched(const std::vector<std::string>& keys, bool watched);

    // A deque: rows are large (about 350 bytes), and a vector moved all of them each time it
    // grew, a pause of tens of milliseconds at 100 000 rows in the middle of a harvest.
    std::deque<TableRow> rows_;
    filter::ScoreWeights scoreWeights_ = filter::defaultScoreWeights();
    std::vector<TableRow> incoming_;
    // By row number: whether the row is in visible_.
    std::vector<char> isShown_;
    // Every row number in the sort's order (arrival order while unsorted): a new filter walks
    // it and never sorts.
    std::vector<int> order_;
    std::vector<int> visible_;
    RowFilter filter_;
    int sortColumn_ = -1;
    bool descending_ = false;
    QTimer flushTimer_;
    QElapsedTimer sinceFlush_;
    int arrivalIntervalMs_ = kArrivalIntervalMs;
    bool held_ = false;
    // Rows by suffix, counted as they are shown.
    std::unordered_map<std::string, int> suffixTally_;
    // Name key -> row numbers (queued rows included); extended when rows arrived since.
    std::unordered_map<std::string, std::vector<std::size_t>> byName_;
    std::size_t indexedRows_ = 0;
    std::unordered_set<std::string> watchedKeys_;
};

}  // namespace jilan::ui::filterwin
