#include "main_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <utility>

#include "app_icon.h"
#include "control_widgets.h"
#include "model_conversions.h"

namespace jilan::ui {

namespace {

// The layout is measured for a 9-point interface font, 12 pixels at 96 dpi.
constexpr int kFontPixels = 12;

}  // namespace

template <typename W, typename... Args>
W* MainWindow::own(Args&&... args) {
    auto widget = std::make_unique<W>(std::forward<Args>(args)...);
    W* raw = widget.get();
    owned_.push_back(std::move(widget));
    return raw;
}

template <typename F, typename... A>
void MainWindow::follow(app::Signal<A...>& signal, F f) {
    connections_.push_back(signal.connect(std::move(f)));
}

MainWindow::MainWindow(app::Form1& form, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form), listModel_(form.List1) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQt(form_.title()));
    // Fixed single border: minimise and close, no maximise, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toPixels(form_.clientWidth()), toPixels(form_.clientHeight()));
    QFont interfaceFont = font();
    interfaceFont.setPixelSize(kFontPixels);
    setFont(interfaceFont);

    build();
    orderFocus();
    syncIcon();

    follow(form_.endedSignal, [this] { timer_.stop(); });
    connect(&filterShortcut_, &QShortcut::activated, this, &MainWindow::filterWindowRequested);
}

MainWindow::~MainWindow() {
    connections_.clear();
    timer_.stop();
    while (!owned_.empty()) {
        owned_.pop_back();
    }
}

QWidget* MainWindow::widgetFor(const std::string& name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

void MainWindow::centreOnScreen() {
    const QScreen* where = screen();
    if (where == nullptr) {
        return;
    }
    const QRect area = where->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
}

void MainWindow::syncIcon() {
    setWindowIcon(form_.hasIcon() ? appIcon() : QIcon());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (form_.ended()) {
        event->accept();
        return;
    }
    // The model asks the exit question; only its answer ends the program.
    event->ignore();
    form_.requestClose();
}

void MainWindow::showEvent(QShowEvent* event) {
    syncIcon();
    QWidget::showEvent(event);
}

QWidget* MainWindow::parentFor(const app::Control& control) {
    if (control.container() == nullptr) {
        return this;
    }
    QWidget* parent = widgetFor(control.container()->name());
    return parent != nullptr ? parent : this;
}

void MainWindow::build() {
    // A control is built once the widget of its container exists.
    std::vector<app::Control*> waiting = form_.controls();
    while (!waiting.empty()) {
        std::vector<app::Control*> later;
        for (app::Control* control : waiting) {
            const app::Control* container = control->container();
            const bool ready = container == nullptr || !container->drawn() ||
                               widgetFor(container->name()) != nullptr;
            if (ready) {
                buildControl(*control);
            } else {
                later.push_back(control);
            }
        }
        if (later.size() == waiting.size()) {
            // A container that draws nothing: its controls go on the window.
            for (app::Control* control : later) {
                buildControl(*control);
            }
            break;
        }
        waiting = std::move(later);
    }
}

void MainWindow::buildControl(app::Control& control) {
    QWidget* parent = parentFor(control);
    switch (control.kind()) {
        case app::ControlKind::Button:
            buildButton(static_cast<app::Button&>(control), parent);
            break;
        case app::ControlKind::Label:
            buildLabel(static_cast<app::Label&>(control), parent);
            break;
        case app::ControlKind::TextBox:
            buildTextBox(static_cast<app::TextBox&>(control), parent);
            break;
        case app::ControlKind::ListBox:
            buildListBox(static_cast<app::ListBox&>(control), parent);
            break;
        case app::ControlKind::HScrollBar:
            buildScrollBar(static_cast<app::HScrollBar&>(control), parent);
            break;
        case app::ControlKind::Frame:
            buildFrame(static_cast<app::Frame&>(control), parent);
            break;
        case app::ControlKind::Line:
            buildLine(static_cast<app::Line&>(control), parent);
            break;
        case app::ControlKind::StatusBar:
            buildStatusBar(static_cast<app::StatusBar&>(control), parent);
            break;
        case app::ControlKind::Timer:
            buildTimer(static_cast<app::TimerControl&>(control));
            return;
        case app::ControlKind::Menu:
        case app::ControlKind::MenuItem:
        case app::ControlKind::SaveDialog:
        case app::ControlKind::InetControl:
            // Not drawn: the menu opens through the platform, the rest has no face.
            return;
    }
    if (QWidget* w = widgetFor(control.name())) {
        w->setObjectName(toQt(control.name()));
    }
}

void MainWindow::buildButton(app::Button& button, QWidget* parent) {
    auto* w = own<QPushButton>(parent);
    w->setGeometry(toPixels(button.geometry()));
    w->setAutoDefault(false);
    const auto refresh = [w, &button] {
        w->setText(toQt(button.caption()));
        w->setEnabled(button.enabled());
    };
    refresh();
    follow(button.changed, refresh);
    connect(w, &QPushButton::clicked, this, [&button] { button.Click.raise(); });
    w->installEventFilter(this);
    byName_[button.name()] = w;
}

void MainWindow::buildLabel(app::Label& label, QWidget* parent) {
    auto* w = own<QLabel>(parent);
    w->setTextFormat(Qt::PlainText);
    w->setWordWrap(false);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w->setAlignment(label.alignment() == app::Alignment::Centre ? Qt::AlignHCenter | Qt::AlignTop
                                                                : Qt::AlignLeft | Qt::AlignTop);
    w->setGeometry(toPixels(label.geometry()));
    const auto refresh = [w, &label] {
        w->setText(toQt(label.caption()));
        if (label.autoSize()) {
            // Grows or shrinks to the right and downwards; Left and Top stay.
            w->adjustSize();
        }
    };
    refresh();
    follow(label.changed, refresh);
    byName_[label.name()] = w;
}

void MainWindow::buildTextBox(app::TextBox& box, QWidget* parent) {
    if (!box.multiLine()) {
        auto* w = own<QLineEdit>(parent);
        w->setGeometry(toPixels(box.geometry()));
        const auto refresh = [w, &box] {
            const QString text = toQt(box.text());
            if (w->text() != text) {
                w->setText(text);
            }
            w->setEnabled(box.enabled());
        };
        refresh();
        follow(box.changed, refresh);
        // Typing goes to the model, which raises Change; its echo finds the text equal.
        connect(w, &QLineEdit::textEdited, this,
                [&box](const QString& text) { box.setText(fromQt(text)); });
        byName_[box.name()] = w;
        return;
    }
    auto* w = own<QPlainTextEdit>(parent);
    w->setGeometry(toPixels(box.geometry()));
    // Shows what a query found; the user may select and copy but not edit it.
    w->setReadOnly(true);
    w->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    w->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    w->setVerticalScrollBarPolicy(box.scrollBars() == app::ScrollBars::Vertical
                                      ? Qt::ScrollBarAlwaysOn
                                      : Qt::ScrollBarAlwaysOff);
    w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const auto refresh = [w, &box] {
        const QString text = displayText(box.text());
        if (w->toPlainText() != text) {
            w->setPlainText(text);
        }
        w->setEnabled(box.enabled());
    };
    refresh();
    follow(box.changed, refresh);
    byName_[box.name()] = w;
}

void MainWindow::buildListBox(app::ListBox& list, QWidget* parent) {
    auto* w = own<ListBoxView>(parent);
    w->setGeometry(toPixels(list.geometry()));
    w->setModel(&listModel_);
    w->setToolTip(QStringLiteral("双击查看信息，Ctrl+F 筛选与批量查询"));
    listView_ = w;

    follow(list.itemAppended, [this](std::size_t) { listModel_.noteAppended(); });
    follow(list.itemsCleared, [this] { listModel_.noteCleared(); });
    follow(list.selectionChanged, [this](int) { showListSelection(); });
    connect(&listModel_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (selectionPending_) {
            showListSelection();
        }
    });

    connect(w->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, &list](const QItemSelection&, const QItemSelection&) {
                if (syncingSelection_) {
                    return;
                }
                const QModelIndexList rows = listView_->selectionModel()->selectedRows();
                if (rows.isEmpty()) {
                    // A list box keeps its selection until something else is chosen.
                    showListSelection();
                    return;
                }
                list.setListIndex(rows.front().row());
            });
    connect(w, &ListBoxView::mouseDown, this, [&list](int button, int shift, int x, int y) {
        list.MouseDown.raise(button, shift, x, y);
    });
    connect(w, &ListBoxView::listDoubleClicked, this, [&list] { list.DblClick.raise(); });
    w->installEventFilter(this);
    byName_[list.name()] = w;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    if (watched == listView_) {
        return listKey(key) || QWidget::eventFilter(watched, event);
    }
    if (auto* button = qobject_cast<QPushButton*>(watched); button != nullptr && enter) {
        if (button->isEnabled() && !key.isAutoRepeat()) {
            button->click();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::listKey(const QKeyEvent& key) {
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    const bool menu = key.key() == Qt::Key_Menu ||
                      (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
    if (!enter && !menu) {
        return false;
    }
    if (key.isAutoRepeat()) {
        return true;
    }
    if (enter) {
        form_.List1.DblClick.raise();
        return true;
    }
    // As a right click on the selected entry: the menu acts on the selection.
    const QRect at = listView_->visualRect(listView_->currentIndex());
    form_.List1.MouseDown.raise(static_cast<int>(app::MouseButton::Right), 0,
                                toTwips(at.center().x()), toTwips(at.center().y()));
    return true;
}

void MainWindow::showListSelection() {
    if (listView_ == nullptr) {
        return;
    }
    const int index = form_.List1.listIndex();
    if (index >= listModel_.rowCount()) {
        // The row arrives with the next batched insert; selecting it now would
        // insert rows one at a time and lay the whole list out again for each.
        selectionPending_ = true;
        return;
    }
    selectionPending_ = false;
    syncingSelection_ = true;
    QItemSelectionModel* selection = listView_->selectionModel();
    if (index < 0) {
        selection->clear();
    } else {
        const QModelIndex row = listModel_.index(index);
        selection->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        listView_->scrollTo(row);
    }
    syncingSelection_ = false;
}

void MainWindow::buildScrollBar(app::HScrollBar& bar, QWidget* parent) {
    auto* w = own<QScrollBar>(Qt::Horizontal, parent);
    w->setGeometry(toPixels(bar.geometry()));
    w->setRange(bar.min(), bar.max());
    w->setSingleStep(bar.smallChange());
    w->setPageStep(bar.largeChange());
    const auto refresh = [w, &bar] {
        if (w->value() != bar.value()) {
            const QSignalBlocker quiet(w);
            w->setValue(bar.value());
        }
    };
    refresh();
    follow(bar.changed, refresh);
    connect(w, &QScrollBar::valueChanged, this, [&bar](int value) { bar.setValue(value); });
    byName_[bar.name()] = w;
}

void MainWindow::buildFrame(app::Frame& frame, QWidget* parent) {
    auto* w = own<QGroupBox>(toQt(frame.caption()), parent);
    w->setGeometry(toPixels(frame.geometry()));
    w->setFlat(false);
    byName_[frame.name()] = w;
}

void MainWindow::buildLine(app::Line& line, QWidget* parent) {
    auto* w = own<LineWidget>(line, parent);
    byName_[line.name()] = w;
}

void MainWindow::buildStatusBar(app::StatusBar& bar, QWidget* parent) {
    auto* w = own<StatusBarWidget>(bar, parent);
    follow(bar.changed, [w] { w->refresh(); });
    byName_[bar.name()] = w;
}

void MainWindow::buildTimer(app::TimerControl& timer) {
    timer_.setObjectName(toQt(timer.name()));
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(timer.interval());
    const auto refresh = [this, &timer] {
        if (timer.enabled() && !form_.ended()) {
            if (!timer_.isActive()) {
                timer_.start();
            }
        } else {
            timer_.stop();
        }
    };
    refresh();
    follow(timer.changed, refresh);
    connect(&timer_, &QTimer::timeout, this, [&timer] { timer.tick(); });
}

void MainWindow::orderFocus() {
    std::vector<std::pair<int, QWidget*>> order;
    for (const app::Control* control : form_.controls()) {
        QWidget* w = widgetFor(control->name());
        if (w != nullptr && control->tabIndex() && w->focusPolicy() != Qt::NoFocus) {
            order.emplace_back(*control->tabIndex(), w);
        }
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
    }
    // The window opens with the focus on the first control in that order.
    if (!order.empty()) {
        order.front().second->setFocus();
    }
}

}  // namespace jilan::ui
