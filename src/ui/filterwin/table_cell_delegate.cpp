#include "table_cell_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <QWidget>

namespace jilan::ui::filterwin {

namespace {

// Room between the cell's edges and its text, as the style's item painting leaves.
constexpr int kTextMargin = 3;

bool styleSheetInForce(const QWidget* widget) {
    if (qApp != nullptr && !qApp->styleSheet().isEmpty()) {
        return true;
    }
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (!w->styleSheet().isEmpty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool TableCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    const int room = option.rect.width() - 2 * kTextMargin;
    if (text.isEmpty() || option.fontMetrics.horizontalAdvance(text) <= room) {
        // Whole in its cell: the model's own tooltip, if any.
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
    return true;
}

const QStaticText& TableCellDelegate::laidOut(const QString& text) const {
    if (const auto it = laidOut_.find(text); it != laidOut_.end()) {
        return it->second;
    }
    if (laidOut_.size() >= kMaxCachedTexts) {
        laidOut_.clear();
    }
    QStaticText staticText(text);
    staticText.setTextFormat(Qt::PlainText);
    staticText.setPerformanceHint(QStaticText::AggressiveCaching);
    return laidOut_.emplace(text, std::move(staticText)).first->second;
}

void TableCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (styleSheetInForce(option.widget)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Enabled) == 0  ? QPalette::Disabled
        : (option.state & QStyle::State_Active) != 0 ? QPalette::Active
                                                     : QPalette::Inactive;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    } else if ((option.features & QStyleOptionViewItem::Alternate) != 0) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::AlternateBase));
    }

    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        const QRect area = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
        const QVariant aligned = index.data(Qt::TextAlignmentRole);
        const Qt::Alignment horizontal =
            (aligned.isValid() ? aligned.value<Qt::Alignment>() : Qt::AlignLeft) &
            Qt::AlignHorizontal_Mask;
        painter->save();
        painter->setFont(option.font);
        painter->setPen(
            option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setClipRect(option.rect);
        const QStaticText& laid = laidOut(text);
        const QSizeF size = laid.size();
        if (size.width() > area.width()) {
            // Too wide for its column (rare: columns are sized from the rows): cut with "…".
            const QString cut =
                option.fontMetrics.elidedText(text, option.textElideMode, area.width());
            painter->drawText(area, Qt::AlignVCenter | horizontal | Qt::TextSingleLine, cut);
        } else {
            const qreal x = (horizontal & Qt::AlignRight) != 0 ? area.right() + 1 - size.width()
                            : (horizontal & Qt::AlignHCenter) != 0
                                ? area.left() + (area.width() - size.width()) / 2
                                : area.left();
            const qreal y = area.top() + (area.height() - size.height()) / 2;
            painter->drawStaticText(QPointF(x, y), laid);
        }
        painter->restore();
    }

    if ((option.state & QStyle::State_HasFocus) != 0 && option.widget != nullptr) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor =
            option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
        option.widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter,
                                              option.widget);
    }
}

}  // namespace jilan::ui::filterwin
