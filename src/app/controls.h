#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "signal.h"

namespace jilan::app {

enum class ControlKind {
    Button,
    Label,
    TextBox,
    ListBox,
    HScrollBar,
    Frame,
    Line,
    Timer,
    StatusBar,
    Menu,
    MenuItem,
    SaveDialog,
    InetControl,
};

// Position and size in twips (15 twips = 1 pixel at 96 dpi), measured from the
// top-left corner of the container's inside area.
struct Geometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Geometry&, const Geometry&) = default;
};

class Control {
public:
    Control(std::string name, ControlKind kind, const Control* container, Geometry geometry,
            std::optional<int> tabIndex);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    // nullptr for controls placed directly on the window.
    const Control* container() const { return container_; }
    const Geometry& geometry() const { return geometry_; }
    std::optional<int> tabIndex() const { return tabIndex_; }
    // Not drawn: timers, the transfer controls, the save dialog and the menu.
    bool drawn() const;

    // Raised after any state change that a view has to draw.
    Signal<> changed;

private:
    std::string name_;
    ControlKind kind_;
    const Control* container_;
    Geometry geometry_;
    std::optional<int> tabIndex_;
};

class Button : public Control {
public:
    Button(std::string name, const Control* container, Geometry g, int tab, std::string caption);
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // A user's click: a disabled button does not raise Click.
    void click() {
        if (enabled_) {
            Click.raise();
        }
    }

    Event<> Click;

private:
    std::string caption_;
    bool enabled_ = true;
};

enum class Alignment { Left, Centre };

class Label : public Control {
public:
    Label(std::string name, const Control* container, Geometry g, int tab, std::string caption,
          Alignment alignment, bool autoSize);
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    Alignment alignment() const { return alignment_; }
    // Auto-sized labels grow right and down from Left/Top to fit their text.
    bool autoSize() const { return autoSize_; }
    bool transparent() const { return true; }

private:
    std::string caption_;
    Alignment alignment_;
    bool autoSize_;
};

enum class ScrollBars { None, Vertical };

class TextBox : public Control {
public:
    TextBox(std::string name, const Control* container, Geometry g, int tab, std::string text,
            bool multiLine, ScrollBars scrollBars);
    const std::string& text() const { return text_; }
    // Typing and writing from a handler go through here alike: a different text
    // raises Change, as the user's typing does.
    void setText(std::string text);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool multiLine() const { return multiLine_; }
    ScrollBars scrollBars() const { return scrollBars_; }

    Event<> Change;

private:
    std::string text_;
    bool enabled_ = true;
    bool multiLine_;
    ScrollBars scrollBars_;
};

enum class MouseButton : int { Left = 1, Right = 2, Middle = 4 };

class ListBox : public Control {
public:
    ListBox(std::string name, const Control* container, Geometry g, int tab);

    void addItem(std::string item);
    void clear();
    std::size_t listCount() const { return items_.size(); }
    const std::string& list(std::size_t index) const { return items_.at(index); }
    const std::vector<std::string>& items() const { return items_; }
    // -1 when nothing is selected.
    int listIndex() const { return listIndex_; }
    // Selects the entry at index; -1 (or any index outside the list) clears the selection.
    void setListIndex(int index);
    bool selected(std::size_t index) const { return static_cast<int>(index) == listIndex_; }
    // The selected entry's text; empty when nothing is selected.
    std::string text() const;

    Event<> DblClick;
    // button (1 left, 2 right), shift, x, y
    Event<int, int, int, int> MouseDown;

    Signal<std::size_t> itemAppended;  // index of the new entry
    Signal<> itemsCleared;
    Signal<int> selectionChanged;

private:
    std::vector<std::string> items_;
    int listIndex_ = -1;
};

class HScrollBar : public Control {
public:
    HScrollBar(std::string name, const Control* container, Geometry g, int tab, int min, int max,
               int value, int smallChange, int largeChange);
    int min() const { return min_; }
    int max() const { return max_; }
    int value() const { return value_; }
    // Clamped to Min..Max; a different value raises Change.
    void setValue(int value);
    int smallChange() const { return smallChange_; }
    int largeChange() const { return largeChange_; }

    Event<> Change;

private:
    int min_, max_, value_, smallChange_, largeChange_;
};

class Frame : public Control {
public:
    Frame(std::string name, const Control* container, Geometry g, int tab, std::string caption);
    const std::string& caption() const { return caption_; }

private:
    std::string caption_;
};

struct Colour {
    int red = 0, green = 0, blue = 0;
    bool systemDefault = false;  // the window-text colour
    friend bool operator==(const Colour&, const Colour&) = default;
};

class Line : public Control {
public:
    Line(std::string name, const Control* container, int x1, int y1, int x2, int y2, Colour colour);
    int x1() const { return x1_; }
    int y1() const { return y1_; }
    int x2() const { return x2_; }
    int y2() const { return y2_; }
    const Colour& colour() const { return colour_; }

private:
    int x1_, y1_, x2_, y2_;
    Colour colour_;
};

class TimerControl : public Control {
public:
    TimerControl(std::string name, const Control* container, int intervalMs);
    int interval() const { return interval_; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // Called by whatever drives the clock; raises Timer only while enabled.
    void tick();

    Event<> Timer;

private:
    int interval_;
    bool enabled_ = false;
};

struct Panel {
    std::string text;
    int width = 0;  // twips
};

class StatusBar : public Control {
public:
    StatusBar(std::string name, const Control* container, Geometry g, int tab,
              std::vector<Panel> panels);
    std::size_t panelCount() const { return panels_.size(); }
    // Panels are numbered from 1.
    const Panel& panel(std::size_t number) const { return panels_.at(number - 1); }
    void setPanelText(std::size_t number, std::string text);

private:
    std::vector<Panel> panels_;
};

class MenuItem : public Control {
public:
    MenuItem(std::string name, const Control* menu, std::string caption);
    const std::string& caption() const { return caption_; }
    bool separator() const { return caption_ == "-"; }

    Event<> Click;

private:
    std::string caption_;
};

class Menu : public Control {
public:
    Menu(std::string name, const Control* container, std::string caption, bool visible);
    const std::string& caption() const { return caption_; }
    bool visible() const { return visible_; }
    void addItem(MenuItem* item) { items_.push_back(item); }
    const std::vector<MenuItem*>& items() const { return items_; }

private:
    std::string caption_;
    bool visible_;
    std::vector<MenuItem*> items_;
};

class SaveDialog : public Control {
public:
    SaveDialog(std::string name, const Control* container, std::string filter);
    const std::string& filter() const { return filter_; }
    const std::string& dialogTitle() const { return title_; }
    void setDialogTitle(std::string title) { title_ = std::move(title); }
    const std::string& fileName() const { return fileName_; }
    void setFileName(std::string name) { fileName_ = std::move(name); }
    bool cancelError() const { return cancelError_; }
    void setCancelError(bool on) { cancelError_ = on; }
    int maxFileSize() const { return 260; }

private:
    std::string filter_;
    std::string title_;
    std::string fileName_;
    bool cancelError_ = false;
};

class InetControl : public Control {
public:
    InetControl(std::string name, const Control* container);
    int remotePort() const { return 80; }
    int requestTimeoutSeconds() const { return 60; }
};

}  // namespace jilan::app
