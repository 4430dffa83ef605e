#include "list_model.h"

#include <limits>

#include "model_conversions.h"

namespace jilan::ui {

namespace {

int entryCount(const app::ListBox& list) {
    constexpr auto kMaxRows = static_cast<std::size_t>(std::numeric_limits<int>::max());
    return static_cast<int>(std::min(list.listCount(), kMaxRows));
}

}  // namespace

ListBoxModel::ListBoxModel(const app::ListBox& list, QObject* parent)
    : QAbstractListModel(parent), list_(list) {
    shown_ = entryCount(list_);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    connect(&flushTimer_, &QTimer::timeout, this, &ListBoxModel::flush);
}

int ListBoxModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant ListBoxModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_ || index.column() != 0) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return toQt(list_.list(static_cast<std::size_t>(index.row())));
    }
    return {};
}

void ListBoxModel::noteAppended() {
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void ListBoxModel::noteCleared() {
    flushTimer_.stop();
    beginResetModel();
    shown_ = entryCount(list_);
    endResetModel();
}

void ListBoxModel::flush() {
    flushTimer_.stop();
    const int count = entryCount(list_);
    if (count > shown_) {
        beginInsertRows(QModelIndex(), shown_, count - 1);
        shown_ = count;
        endInsertRows();
    } else if (count < shown_) {
        // Only appends and clears exist; a shorter list means a clear we missed.
        beginResetModel();
        shown_ = count;
        endResetModel();
    }
}

bool ListBoxModel::pending() const {
    return entryCount(list_) != shown_;
}

}  // namespace jilan::ui
