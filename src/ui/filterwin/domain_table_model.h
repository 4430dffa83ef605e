#pragma once

#include <QAbstractTableModel>
#include <QTimer>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "filter/filter_expr.h"
#include "table_row.h"

namespace jilan::ui::filterwin {

// The table's columns, in display order.
enum class TableColumn : int {
    Domain,
    Length,
    Suffix,
    Kind,
    Structure,
    Pinyin,
    FirstSeen,
    New,
    DeletionTime,
    BookingDeadline,
    Filed,
    BookingPrice,
    QueryResult,
};
inline constexpr int kTableColumnCount = 13;

// The filter line and the toggles, compiled; a row is shown when both hold.
struct RowFilter {
    filter::Filter line;
    filter::Filter toggles;

    bool matches(const TableRow& row) const noexcept {
        const bool isNew = row.isNew.value_or(false);
        return line.matches(row.features, isNew) && toggles.matches(row.features, isNew);
    }
};

// Orders two rows by one column: numbers as numbers, dates as dates, text as text; a row
// without a value goes after every row with one, whichever the direction.
bool rowLess(const TableRow& a, const TableRow& b, TableColumn column, bool descending);

// Every row of the source, with a vector of the row numbers the filter shows in the order
// the sort gives. Rows arriving in a burst are shown once per turn of the event loop.
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

    // Drops every row (a new source).
    void clear();
    // Queued; shown at the next turn of the event loop, or by flush().
    void append(std::vector<TableRow> rows);
    void append(TableRow row);
    void flush();
    bool pending() const { return !incoming_.empty(); }

    void setFilter(RowFilter filter);
    // Fills the detail columns of every row of that name (case-insensitive).
    void setDetails(const std::string& domain, const DetailCells& cells);
    // 新 of every row of these names (the rest of the rows: not new).
    void setNewNames(const std::vector<std::string>& keys);

    int total() const { return static_cast<int>(rows_.size()); }
    int shown() const { return static_cast<int>(visible_.size()); }
    const TableRow& rowAt(int viewRow) const { return rows_[visible_[viewRow]]; }
    const std::vector<TableRow>& rows() const { return rows_; }
    // Suffixes by how many rows have them, most frequent first (ties by name).
    std::vector<std::pair<std::string, int>> suffixCounts() const;
    int sortColumn() const { return sortColumn_; }

Q_SIGNALS:
    // The rows shown or their number changed (filter, sort, arrivals).
    void shownChanged();

private:
    void refilter();
    void sortRows(std::vector<int>& rows) const;
    const std::vector<std::size_t>& rowsNamed(const std::string& key);

    std::vector<TableRow> rows_;
    std::vector<TableRow> incoming_;
    // Every row number in the sort's order (arrival order while unsorted): a new filter walks
    // it and never sorts.
    std::vector<int> order_;
    std::vector<int> visible_;
    RowFilter filter_;
    int sortColumn_ = -1;
    bool descending_ = false;
    QTimer flushTimer_;
    // Name key -> row numbers; rebuilt when rows arrived since it was made.
    std::unordered_map<std::string, std::vector<std::size_t>> byName_;
    std::size_t indexedRows_ = 0;
};

}  // namespace jilan::ui::filterwin
