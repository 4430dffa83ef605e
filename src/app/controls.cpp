#include "controls.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace jilan::app {

Control::Control(std::string name, ControlKind kind, const Control* container, Geometry geometry,
                 std::optional<int> tabIndex)
    : name_(std::move(name)),
      kind_(kind),
      container_(container),
      geometry_(geometry),
      tabIndex_(tabIndex) {}

bool Control::drawn() const {
    switch (kind_) {
        case ControlKind::Timer:
        case ControlKind::Menu:
        case ControlKind::MenuItem:
        case ControlKind::SaveDialog:
        case ControlKind::InetControl:
            return false;
        default:
            return true;
    }
}

Button::Button(std::string name, const Control* container, Geometry g, int tab, std::string caption)
    : Control(std::move(name), ControlKind::Button, container, g, tab),
      caption_(std::move(caption)) {}

void Button::setCaption(std::string caption) {
    if (caption == caption_) {
        return;
    }
    caption_ = std::move(caption);
    changed.emit();
}

void Button::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    changed.emit();
}

Label::Label(std::string name, const Control* container, Geometry g, int tab, std::string caption,
             Alignment alignment, bool autoSize)
    : Control(std::move(name), ControlKind::Label, container, g, tab),
      caption_(std::move(caption)),
      alignment_(alignment),
      autoSize_(autoSize) {}

void Label::setCaption(std::string caption) {
    if (caption == caption_) {
        return;
    }
    caption_ = std::move(caption);
    changed.emit();
}

TextBox::TextBox(std::string name, const Control* container, Geometry g, int tab, std::string text,
                 bool multiLine, ScrollBars scrollBars)
    : Control(std::move(name), ControlKind::TextBox, container, g, tab),
      text_(std::move(text)),
      multiLine_(multiLine),
      scrollBars_(scrollBars) {}

void TextBox::setText(std::string text) {
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    changed.emit();
    Change.raise();
}

void TextBox::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    changed.emit();
}

ListBox::ListBox(std::string name, const Control* container, Geometry g, int tab)
    : Control(std::move(name), ControlKind::ListBox, container, g, tab) {}

void ListBox::addItem(std::string item) {
    items_.push_back(std::move(item));
    itemAppended.emit(items_.size() - 1);
}

void ListBox::clear() {
    const bool hadSelection = listIndex_ != -1;
    items_.clear();
    listIndex_ = -1;
    itemsCleared.emit();
    if (hadSelection) {
        selectionChanged.emit(-1);
    }
}

void ListBox::setListIndex(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
        index = -1;
    }
    if (index == listIndex_) {
        return;
    }
    listIndex_ = index;
    selectionChanged.emit(index);
}

std::string ListBox::text() const {
    if (listIndex_ < 0) {
        return {};
    }
    return items_[static_cast<std::size_t>(listIndex_)];
}

HScrollBar::HScrollBar(std::string name, const Control* container, Geometry g, int tab, int min,
                       int max, int value, int smallChange, int largeChange)
    : Control(std::move(name), ControlKind::HScrollBar, container, g, tab),
      min_(min),
      max_(max),
      value_(value),
      smallChange_(smallChange),
      largeChange_(largeChange) {}

void HScrollBar::setValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_) {
        return;
    }
    value_ = value;
    changed.emit();
    Change.raise();
}

Frame::Frame(std::string name, const Control* container, Geometry g, int tab, std::string caption)
    : Control(std::move(name), ControlKind::Frame, container, g, tab),
      caption_(std::move(caption)) {}

Line::Line(std::string name, const Control* container, int x1, int y1, int x2, int y2,
           Colour colour)
    : Control(std::move(name), ControlKind::Line, container,
              Geometry{std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)},
              std::nullopt),
      x1_(x1),
      y1_(y1),
      x2_(x2),
      y2_(y2),
      colour_(colour) {}

TimerControl::TimerControl(std::string name, const Control* container, int intervalMs)
    : Control(std::move(name), ControlKind::Timer, container, Geometry{}, std::nullopt),
      interval_(intervalMs) {}

void TimerControl::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    changed.emit();
}

void TimerControl::tick() {
    if (enabled_) {
        Timer.raise();
    }
}

StatusBar::StatusBar(std::string name, const Control* container, Geometry g, int tab,
                     std::vector<Panel> panels)
    : Control(std::move(name), ControlKind::StatusBar, container, g, tab),
      panels_(std::move(panels)) {}

void StatusBar::setPanelText(std::size_t number, std::string text) {
    Panel& panel = panels_.at(number - 1);
    if (panel.text == text) {
        return;
    }
    panel.text = std::move(text);
    changed.emit();
}

MenuItem::MenuItem(std::string name, const Control* menu, std::string caption)
    : Control(std::move(name), ControlKind::MenuItem, menu, Geometry{}, std::nullopt),
      caption_(std::move(caption)) {}

Menu::Menu(std::string name, const Control* container, std::string caption, bool visible)
    : Control(std::move(name), ControlKind::Menu, container, Geometry{}, std::nullopt),
      caption_(std::move(caption)),
      visible_(visible) {}

SaveDialog::SaveDialog(std::string name, const Control* container, std::string filter)
    : Control(std::move(name), ControlKind::SaveDialog, container, Geometry{}, std::nullopt),
      filter_(std::move(filter)) {}

InetControl::InetControl(std::string name, const Control* container)
    : Control(std::move(name), ControlKind::InetControl, container, Geometry{}, std::nullopt) {}

}  // namespace jilan::app
