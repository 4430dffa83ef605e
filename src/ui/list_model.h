#pragma once

#include <QAbstractListModel>
#include <QTimer>

#include "app/controls.h"

namespace jilan::ui {

// The entries of a list box as a Qt item model. Appends are announced in
// batches: the rows that arrived since the last turn of the event loop are
// inserted with one notification, so a harvest of thousands of entries costs
// the view one update per turn, not one per entry.
class ListBoxModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ListBoxModel(const app::ListBox& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // An entry was appended to the list box; shown at the next flush.
    void noteAppended();
    // The list box was emptied; the rows go at once.
    void noteCleared();
    // Inserts every entry not shown yet.
    void flush();
    bool pending() const;

private:
    const app::ListBox& list_;
    int shown_ = 0;
    QTimer flushTimer_;
};

}  // namespace jilan::ui
