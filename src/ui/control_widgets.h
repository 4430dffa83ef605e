#pragma once

#include <QColor>
#include <QLabel>
#include <QListView>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

#include "app/controls.h"

namespace jilan::ui {

// One grid line: a 1-pixel stroke along the widget's long side. A colour of
// nullopt follows the palette's window-text colour.
class LineWidget : public QWidget {
    Q_OBJECT
public:
    LineWidget(const app::Line& line, QWidget* parent);
    // nullopt: the palette's window-text colour.
    std::optional<QColor> fixedColour() const { return colour_; }
    QColor strokeColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QColor> colour_;
};

// A status bar of sunken panels laid out left to right, at the bar's place;
// the panels between the first and the last share the width those two leave.
class StatusBarWidget : public QWidget {
    Q_OBJECT
public:
    StatusBarWidget(const app::StatusBar& bar, QWidget* parent);
    // Panels are numbered from 1, as in the model.
    QLabel* panel(std::size_t number) const;
    std::size_t panelCount() const { return panels_.size(); }
    // Re-reads the panel texts.
    void refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutPanels();

    const app::StatusBar& bar_;
    std::vector<std::unique_ptr<QLabel>> panels_;
};

// The list box: selection by the left button and the keyboard only, every press
// reported with its button number, double clicks reported as such.
class ListBoxView : public QListView {
    Q_OBJECT
public:
    explicit ListBoxView(QWidget* parent);

Q_SIGNALS:
    // button (1 left, 2 right, 4 middle), shift mask (1 Shift, 2 Ctrl, 4 Alt),
    // x and y in twips from the list's top-left corner.
    void mouseDown(int button, int shift, int x, int y);
    void listDoubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool inDoubleClick_ = false;
};

// The model's button numbers and shift mask for a Qt mouse event.
int buttonNumber(Qt::MouseButton button);
int shiftMask(Qt::KeyboardModifiers modifiers);

}  // namespace jilan::ui
