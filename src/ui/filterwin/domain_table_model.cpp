#include "domain_table_model.h"

#include <algorithm>
#include <numeric>

#include "base/name_key.h"
#include "ui/model_conversions.h"

namespace jilan::ui::filterwin {

namespace {

using exporting::ColumnSpec;
using exporting::kTableColumns;

// The first of the table's columns read from the details; those from it to the last repaint
// when details arrive.
constexpr int firstDetailColumn() {
    for (std::size_t i = 0; i < kTableColumns.size(); ++i) {
        if (exporting::specOf(kTableColumns[i]).source == exporting::Source::Details) {
            return static_cast<int>(i);
        }
    }
    return kTableColumnCount;
}

Column columnAt(int section) {
    return kTableColumns[static_cast<std::size_t>(section)];
}

// -1, 0 or 1 for two values that may be missing; missing goes last in both directions.
template <typename T>
int compareOptional(const std::optional<T>& a, const std::optional<T>& b, bool descending) {
    if (!a || !b) {
        if (!a && !b) {
            return 0;
        }
        // Flipped below for a descending sort, so flip here too to keep missing last.
        return (!a ? 1 : -1) * (descending ? -1 : 1);
    }
    if (*a < *b) {
        return -1;
    }
    return *b < *a ? 1 : 0;
}

std::optional<std::string> textOf(std::string text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
}

// Ordered by the column's date when it has one, else its number, else its text.
int compareRows(const TableRow& a, const TableRow& b, Column column, bool descending) {
    const ColumnSpec& entry = exporting::specOf(column);
    const exporting::NameRecord first = a.record();
    const exporting::NameRecord second = b.record();
    if (entry.date != nullptr) {
        return compareOptional(entry.date(first), entry.date(second), descending);
    }
    if (entry.number != nullptr) {
        return compareOptional(entry.number(first), entry.number(second), descending);
    }
    return compareOptional(textOf(entry.text(first)), textOf(entry.text(second)), descending);
}

QString cellText(const TableRow& row, Column column) {
    const ColumnSpec& entry = exporting::specOf(column);
    const exporting::NameRecord record = row.record();
    return toQt(entry.tableText != nullptr ? entry.tableText(record) : entry.text(record));
}

}  // namespace

bool rowLess(const TableRow& a, const TableRow& b, Column column, bool descending) {
    const int order = compareRows(a, b, column, descending);
    return descending ? order > 0 : order < 0;
}

DomainTableModel::DomainTableModel(QObject* parent) : QAbstractTableModel(parent) {
    flushTimer_.setObjectName(QStringLiteral("flushTimer"));
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    connect(&flushTimer_, &QTimer::timeout, this, &DomainTableModel::flush);
}

int DomainTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown();
}

int DomainTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTableColumnCount;
}

QVariant DomainTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown() || index.column() >= kTableColumnCount) {
        return {};
    }
    const Column column = columnAt(index.column());
    if (role == Qt::DisplayRole) {
        return cellText(rowAt(index.row()), column);
    }
    if (role == Qt::TextAlignmentRole &&
        exporting::specOf(column).shape == exporting::Shape::Number) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    // How the score came about, on the 评分 cell: made when asked.
    if (role == Qt::ToolTipRole && column == Column::Score) {
        return toQt(filter::scoreName(rowAt(index.row()).features, scoreWeights_).breakdown);
    }
    return {};
}

QVariant DomainTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kTableColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    const std::string_view caption = exporting::captionOf(columnAt(section));
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

void DomainTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kTableColumnCount) {
        return;
    }
    flush();
    sortColumn_ = column;
    descending_ = order == Qt::DescendingOrder;
    // From arrival order each time, so equal rows keep it in either direction.
    std::iota(order_.begin(), order_.end(), 0);
    sortRows(order_);
    refilter();
}

void DomainTableModel::sortRows(std::vector<int>& rows) const {
    if (sortColumn_ < 0) {
        return;
    }
    const Column column = columnAt(sortColumn_);
    const ColumnSpec& entry = exporting::specOf(column);
    if (entry.date == nullptr && entry.number != nullptr) {
        // A number column's keys are read once per row and sorted beside the row numbers,
        // in one contiguous array: rows without a value go last in either direction.
        struct Keyed {
            double key;
            int row;
        };
        std::vector<Keyed> valued;
        std::vector<int> unvalued;
        valued.reserve(rows.size());
        for (const int r : rows) {
            if (const auto key = entry.number(rows_[static_cast<std::size_t>(r)].record())) {
                valued.push_back({*key, r});
            } else {
                unvalued.push_back(r);
            }
        }
        if (descending_) {
            std::stable_sort(valued.begin(), valued.end(),
                             [](const Keyed& a, const Keyed& b) { return b.key < a.key; });
        } else {
            std::stable_sort(valued.begin(), valued.end(),
                             [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
        }
        std::transform(valued.begin(), valued.end(), rows.begin(),
                       [](const Keyed& k) { return k.row; });
        std::copy(unvalued.begin(), unvalued.end(),
                  rows.begin() + static_cast<std::ptrdiff_t>(valued.size()));
        return;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        return rowLess(rows_[static_cast<std::size_t>(a)], rows_[static_cast<std::size_t>(b)],
                       column, descending_);
    });
}

void DomainTableModel::clear() {
    flushTimer_.stop();
    beginResetModel();
    rows_.clear();
    incoming_.clear();
    isShown_.clear();
    suffixTally_.clear();
    order_.clear();
    visible_.clear();
    byName_.clear();
    indexedRows_ = 0;
    endResetModel();
    Q_EMIT shownChanged();
}

// The value only: the breakdown's text for every one of 100 000 rows took a third of the
// window's opening, and it is read for one row at a time (tooltip, pane, export).
void DomainTableModel::scoreRow(TableRow& row) const {
    row.score =
        filter::Score{.value = filter::scoreValue(row.features, scoreWeights_), .breakdown = {}};
    row.watched = !watchedKeys_.empty() && watchedKeys_.contains(base::nameKey(row.domain));
}

void DomainTableModel::append(std::vector<TableRow> rows) {
    for (TableRow& row : rows) {
        scoreRow(row);
    }
    if (incoming_.empty()) {
        incoming_ = std::move(rows);
    } else {
        std::move(rows.begin(), rows.end(), std::back_inserter(incoming_));
    }
    scheduleFlush();
}

void DomainTableModel::append(TableRow row) {
    scoreRow(row);
    incoming_.push_back(std::move(row));
    scheduleFlush();
}

void DomainTableModel::scheduleFlush() {
    if (held_ || flushTimer_.isActive() || incoming_.empty()) {
        return;
    }
    // The first arrivals after a quiet spell show at the next turn; a stream of them once
    // per interval.
    const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : arrivalIntervalMs_;
    flushTimer_.start(static_cast<int>(std::max<qint64>(0, arrivalIntervalMs_ - since)));
}

void DomainTableModel::setHeld(bool held) {
    held_ = held;
    if (held_) {
        flushTimer_.stop();
    } else {
        flush();
    }
}

void DomainTableModel::flush() {
    flushTimer_.stop();
    if (incoming_.empty()) {
        return;
    }
    sinceFlush_.start();
    const std::size_t first = rows_.size();
    std::move(incoming_.begin(), incoming_.end(), std::back_inserter(rows_));
    incoming_.clear();
    isShown_.resize(rows_.size(), 0);
    for (std::size_t row = first; row < rows_.size(); ++row) {
        ++suffixTally_[rows_[row].features.tld];
    }
    std::vector<int> arrived(rows_.size() - first);
    std::iota(arrived.begin(), arrived.end(), static_cast<int>(first));
    if (sortColumn_ >= 0) {
        // Arrivals find their place in the sorted order; later arrivals go after equal rows.
        sortRows(arrived);
        const auto middle = static_cast<std::ptrdiff_t>(order_.size());
        order_.insert(order_.end(), arrived.begin(), arrived.end());
        const Column column = columnAt(sortColumn_);
        std::inplace_merge(
            order_.begin(), order_.begin() + middle, order_.end(), [&](int a, int b) {
                return rowLess(rows_[static_cast<std::size_t>(a)],
                               rows_[static_cast<std::size_t>(b)], column, descending_);
            });
    } else {
        order_.insert(order_.end(), arrived.begin(), arrived.end());
    }
    std::vector<int> passing;
    for (int row : arrived) {
        if (filter_.matches(rows_[static_cast<std::size_t>(row)])) {
            passing.push_back(row);
            isShown_[static_cast<std::size_t>(row)] = 1;
        }
    }
    if (sortColumn_ >= 0) {
        insertSorted(passing);
    } else if (!passing.empty()) {
        beginInsertRows(QModelIndex(), shown(), shown() + static_cast<int>(passing.size()) - 1);
        visible_.insert(visible_.end(), passing.begin(), passing.end());
        endInsertRows();
    }
    Q_EMIT shownChanged();
}

void DomainTableModel::insertSorted(const std::vector<int>& passing) {
    if (passing.empty()) {
        return;
    }
    const Column column = columnAt(sortColumn_);
    const auto less = [&](int a, int b) {
        return rowLess(rows_[static_cast<std::size_t>(a)], rows_[static_cast<std::size_t>(b)],
                       column, descending_);
    };
    // Where each arrival goes in the shown rows as they are now: after every equal row.
    struct Run {
        std::size_t at;
        std::size_t from, to;  // in `passing`
    };
    std::vector<Run> runs;
    auto searchFrom = visible_.begin();
    for (std::size_t i = 0; i < passing.size(); ++i) {
        searchFrom = std::upper_bound(searchFrom, visible_.end(), passing[i], less);
        const auto at = static_cast<std::size_t>(searchFrom - visible_.begin());
        if (!runs.empty() && runs.back().at == at) {
            runs.back().to = i + 1;
        } else {
            runs.push_back({at, i, i + 1});
        }
    }
    if (runs.size() <= kMaxInsertRuns) {
        // One insert per place, front to back; each shifts the places after it.
        std::size_t shift = 0;
        for (const Run& run : runs) {
            const auto first = static_cast<int>(run.at + shift);
            const auto count = static_cast<int>(run.to - run.from);
            beginInsertRows(QModelIndex(), first, first + count - 1);
            visible_.insert(visible_.begin() + first,
                            passing.begin() + static_cast<std::ptrdiff_t>(run.from),
                            passing.begin() + static_cast<std::ptrdiff_t>(run.to));
            endInsertRows();
            shift += run.to - run.from;
        }
        return;
    }
    // Too many places for one insert each: a single change of layout, the views' selection
    // and current row following their rows.
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> merged;
    merged.reserve(visible_.size() + passing.size());
    std::merge(visible_.begin(), visible_.end(), passing.begin(), passing.end(),
               std::back_inserter(merged), less);
    std::unordered_map<int, int> newRowOf;
    for (const QModelIndex& index : before) {
        newRowOf.emplace(visible_[static_cast<std::size_t>(index.row())], -1);
    }
    for (std::size_t view = 0; view < merged.size() && !newRowOf.empty(); ++view) {
        if (const auto it = newRowOf.find(merged[view]); it != newRowOf.end()) {
            it->second = static_cast<int>(view);
        }
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.push_back(
            this->index(newRowOf[visible_[static_cast<std::size_t>(index.row())]], index.column()));
    }
    visible_ = std::move(merged);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void DomainTableModel::setFilter(RowFilter filter) {
    filter_ = std::move(filter);
    refilter();
}

void DomainTableModel::refilter() {
    flushTimer_.stop();
    beginResetModel();
    if (filter_.line.matchesEverything() && filter_.toggles.matchesEverything()) {
        // No filter: every row in the sorted order, without reading any of them.
        isShown_.assign(rows_.size(), 1);
        visible_ = order_;
    } else {
        visible_.clear();
        isShown_.assign(rows_.size(), 0);
        for (int row : order_) {
            if (filter_.matches(rows_[static_cast<std::size_t>(row)])) {
                visible_.push_back(row);
                isShown_[static_cast<std::size_t>(row)] = 1;
            }
        }
    }
    endResetModel();
    Q_EMIT shownChanged();
    scheduleFlush();
}

TableRow& DomainTableModel::numbered(std::size_t number) {
    return number < rows_.size() ? rows_[number] : incoming_[number - rows_.size()];
}

const std::vector<std::size_t>& DomainTableModel::rowsNamed(const std::string& key) {
    for (const std::size_t known = rows_.size() + incoming_.size(); indexedRows_ < known;
         ++indexedRows_) {
        byName_[base::nameKey(numbered(indexedRows_).domain)].push_back(indexedRows_);
    }
    static const std::vector<std::size_t> kNone;
    const auto it = byName_.find(key);
    return it == byName_.end() ? kNone : it->second;
}

void DomainTableModel::setDetails(const std::string& domain, const DetailCells& cells) {
    setDetails({{domain, cells}});
}

void DomainTableModel::setDetails(const std::vector<std::pair<std::string, DetailCells>>& found) {
    std::vector<std::size_t> changed;
    for (const auto& [domain, cells] : found) {
        for (std::size_t number : rowsNamed(base::nameKey(domain))) {
            numbered(number).setDetails(cells);
            changed.push_back(number);
        }
    }
    // The order stays until the next sort.
    detailsChanged(changed);
}

void DomainTableModel::detailsChanged(const std::vector<std::size_t>& numbers) {
    const bool anyShown = std::any_of(numbers.begin(), numbers.end(), [&](std::size_t number) {
        return number < isShown_.size() && isShown_[number] != 0;
    });
    if (!anyShown) {
        return;
    }
    // One notice for the whole batch: the views repaint what they show of it once.
    Q_EMIT dataChanged(index(0, firstDetailColumn()), index(shown() - 1, kTableColumnCount - 1));
}

void DomainTableModel::setNewNames(const std::vector<std::string>& keys, bool replace) {
    std::vector<std::size_t> changed;
    const auto mark = [&](std::size_t number, bool isNew) {
        TableRow& row = numbered(number);
        if (row.isNew != isNew) {
            row.isNew = isNew;
            if (number < rows_.size()) {
                changed.push_back(number);
            }
        }
    };
    if (replace) {
        std::vector<char> named(rows_.size() + incoming_.size(), 0);
        for (const std::string& key : keys) {
            for (std::size_t number : rowsNamed(key)) {
                named[number] = 1;
            }
        }
        for (std::size_t number = 0; number < named.size(); ++number) {
            mark(number, named[number] != 0);
        }
    } else {
        for (const std::string& key : keys) {
            for (std::size_t number : rowsNamed(key)) {
                mark(number, true);
            }
        }
    }
    // A row that now passes or fails the filter: shown again from the start; otherwise only
    // the 新 cells repaint, and the order stays until the next sort.
    const bool shownRowsChange = std::any_of(changed.begin(), changed.end(), [&](std::size_t n) {
        return filter_.matches(rows_[n]) != (isShown_[n] != 0);
    });
    if (shownRowsChange) {
        refilter();
        return;
    }
    const bool anyShown = std::any_of(changed.begin(), changed.end(),
                                      [&](std::size_t n) { return isShown_[n] != 0; });
    if (anyShown) {
        const int column = tableIndexOf(Column::New);
        Q_EMIT dataChanged(index(0, column), index(shown() - 1, column));
    }
}

void DomainTableModel::setSightings(
    const std::vector<std::pair<std::string, exporting::Sightings>>& found) {
    bool anyShown = false;
    for (const auto& [domain, seen] : found) {
        for (std::size_t number : rowsNamed(base::nameKey(domain))) {
            TableRow& row = numbered(number);
            row.firstSeen = seen.firstSeen;
            row.lastSeen = seen.lastSeen;
            row.runsSeen = seen.runs;
            anyShown = anyShown || (number < isShown_.size() && isShown_[number] != 0);
        }
    }
    // Only the cells repaint; the order stays until the next sort.
    if (anyShown && shown() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(shown() - 1, kTableColumnCount - 1));
    }
}

void DomainTableModel::setWatchedNames(std::unordered_set<std::string> keys) {
    std::vector<std::string> gone;
    for (const std::string& key : watchedKeys_) {
        if (!keys.contains(key)) {
            gone.push_back(key);
        }
    }
    const std::vector<std::string> added(keys.begin(), keys.end());
    watchedKeys_ = std::move(keys);
    markWatched(gone, false);
    markWatched(added, true);
}

void DomainTableModel::setWatched(const std::vector<std::string>& keys, bool watched) {
    for (const std::string& key : keys) {
        if (watched) {
            watchedKeys_.insert(key);
        } else {
            watchedKeys_.erase(key);
        }
    }
    markWatched(keys, watched);
}

void DomainTableModel::markWatched(const std::vector<std::string>& keys, bool watched) {
    bool anyShown = false;
    bool shownRowsChange = false;
    for (const std::string& key : keys) {
        for (std::size_t number : rowsNamed(key)) {
            numbered(number).watched = watched;
            const bool isShown = number < isShown_.size() && isShown_[number] != 0;
            anyShown = anyShown || isShown;
            // A row that now passes or fails a filter on 关注.
            shownRowsChange = shownRowsChange ||
                              (number < rows_.size() && filter_.matches(rows_[number]) != isShown);
        }
    }
    if (shownRowsChange) {
        refilter();
        return;
    }
    // Only the stars repaint; the order stays until the next sort.
    if (anyShown && shown() > 0) {
        const int column = tableIndexOf(Column::Watched);
        Q_EMIT dataChanged(index(0, column), index(shown() - 1, column));
    }
}

std::vector<std::pair<std::string, int>> DomainTableModel::suffixCounts() const {
    std::vector<std::pair<std::string, int>> out(suffixTally_.begin(), suffixTally_.end());
    std::sort(out.begin(), out.end());
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return out;
}

}  // namespace jilan::ui::filterwin
