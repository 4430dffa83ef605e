#pragma once

#include <QStaticText>
#include <QStyledItemDelegate>

#include <unordered_map>

namespace jilan::ui::filterwin {

// Paints the table's cells as plain one-line text on the palette's colours, with each text
// laid out once and kept: the style's own item painting lays every cell out twice per paint,
// which made a repaint of the table cost several milliseconds while a harvest adds rows.
// With a style sheet in force (a skin) it leaves the painting to the style, which applies it.
class TableCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // A cell cut with "…" shows its whole text as the tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Texts laid out so far (bounded; the cache starts over when it is full).
    std::size_t cachedTexts() const { return laidOut_.size(); }
    static constexpr std::size_t kMaxCachedTexts = 4096;

private:
    const QStaticText& laidOut(const QString& text) const;

    mutable std::unordered_map<QString, QStaticText> laidOut_;
};

}  // namespace jilan::ui::filterwin
