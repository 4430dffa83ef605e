#include "control_widgets.h"

#include <QMouseEvent>
#include <QPainter>

#include "model_conversions.h"

namespace jilan::ui {

namespace {

constexpr int kPanelGap = 2;

std::optional<QColor> lineColour(const app::Colour& colour) {
    if (colour.systemDefault) {
        return std::nullopt;
    }
    return QColor(colour.red, colour.green, colour.blue);
}

}  // namespace

LineWidget::LineWidget(const app::Line& line, QWidget* parent)
    : QWidget(parent), colour_(lineColour(line.colour())) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // End points are inclusive: a straight line is one pixel thick.
    setGeometry(toPixels(std::min(line.x1(), line.x2())), toPixels(std::min(line.y1(), line.y2())),
                toPixels(std::abs(line.x2() - line.x1())) + 1,
                toPixels(std::abs(line.y2() - line.y1())) + 1);
}

QColor LineWidget::strokeColour() const {
    return colour_.value_or(palette().color(QPalette::WindowText));
}

void LineWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(QPen(strokeColour(), 1));
    painter.drawLine(0, 0, width() - 1, height() - 1);
}

StatusBarWidget::StatusBarWidget(const app::StatusBar& bar, QWidget* parent)
    : QWidget(parent), bar_(bar) {
    for (std::size_t number = 1; number <= bar.panelCount(); ++number) {
        auto label = std::make_unique<QLabel>(this);
        label->setObjectName(toQt(bar.name()) + QStringLiteral("Panel") + QString::number(number));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setIndent(4);
        panels_.push_back(std::move(label));
    }
    setGeometry(toPixels(bar.geometry()));
    refresh();
    layoutPanels();
}

QLabel* StatusBarWidget::panel(std::size_t number) const {
    if (number == 0 || number > panels_.size()) {
        return nullptr;
    }
    return panels_[number - 1].get();
}

void StatusBarWidget::refresh() {
    for (std::size_t number = 1; number <= panels_.size(); ++number) {
        panels_[number - 1]->setText(toQt(bar_.panel(number).text));
    }
}

void StatusBarWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanels();
}

void StatusBarWidget::layoutPanels() {
    const std::size_t count = panels_.size();
    if (count == 0) {
        return;
    }
    // Outer panels keep their width; the middle ones share what is left.
    int fixed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i == 0 || i + 1 == count) {
            fixed += toPixels(bar_.panel(i + 1).width);
        }
    }
    const int gaps = kPanelGap * static_cast<int>(count - 1);
    const int middleCount = count > 2 ? static_cast<int>(count - 2) : 0;
    const int spare = std::max(0, width() - fixed - gaps);
    const int panelHeight = std::max(0, height() - 2 * kPanelGap);
    int x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const bool outer = i == 0 || i + 1 == count;
        int w = outer ? toPixels(bar_.panel(i + 1).width) : spare / std::max(1, middleCount);
        if (i + 1 == count) {
            w = std::max(0, width() - x);
        }
        panels_[i]->setGeometry(x, kPanelGap, w, panelHeight);
        x += w + kPanelGap;
    }
}

ListBoxView::ListBoxView(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height: a long list lays out without measuring each entry.
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ListBoxView::mousePressEvent(QMouseEvent* event) {
    // Only the left button moves the selection; the others just report the press.
    if (event->button() == Qt::LeftButton) {
        QListView::mousePressEvent(event);
    } else {
        event->accept();
    }
    // The base class turns some double clicks back into presses: not a new press.
    if (inDoubleClick_) {
        return;
    }
    const QPoint at = event->position().toPoint();
    Q_EMIT mouseDown(buttonNumber(event->button()), shiftMask(event->modifiers()), toTwips(at.x()),
                     toTwips(at.y()));
}

void ListBoxView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & ~Qt::MouseButtons(Qt::LeftButton)) {
        event->accept();
        return;
    }
    QListView::mouseMoveEvent(event);
}

void ListBoxView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

void ListBoxView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    inDoubleClick_ = true;
    QListView::mouseDoubleClickEvent(event);
    inDoubleClick_ = false;
    Q_EMIT listDoubleClicked();
}

int buttonNumber(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return static_cast<int>(app::MouseButton::Left);
        case Qt::RightButton:
            return static_cast<int>(app::MouseButton::Right);
        case Qt::MiddleButton:
            return static_cast<int>(app::MouseButton::Middle);
        default:
            return 0;
    }
}

int shiftMask(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers & Qt::ShiftModifier) {
        mask |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        mask |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        mask |= 4;
    }
    return mask;
}

}  // namespace jilan::ui
