#pragma once

#include <QShortcut>
#include <QTimer>
#include <QWidget>

class QKeyEvent;

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "list_model.h"

namespace jilan::ui {

class ListBoxView;

// The window of the program: draws the Form1 model at its fixed layout, keeps
// every widget in step with its control, and hands every user action to the
// model's events. It holds no state of its own beyond what drawing needs.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(app::Form1& form, QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    app::Form1& form() const { return form_; }
    // The widget that draws the named control; nullptr for controls not drawn.
    QWidget* widgetFor(const std::string& name) const;
    ListBoxModel& listModel() { return listModel_; }
    const QTimer& harvestTimer() const { return timer_; }

    // Puts the window in the middle of its screen's available area.
    void centreOnScreen();
    // The window icon follows the model: none once start-up has cleared it.
    void syncIcon();

Q_SIGNALS:
    // Ctrl+F: the user asks for the "域名筛选" window.
    void filterWindowRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Keyboard reach: Enter presses a focused button; in the list Enter runs the
    // double-click query and the Menu key or Shift+F10 open its popup menu.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    template <typename W, typename... Args>
    W* own(Args&&... args);
    template <typename F, typename... A>
    void follow(app::Signal<A...>& signal, F f);

    QWidget* parentFor(const app::Control& control);
    void build();
    void buildControl(app::Control& control);
    void buildButton(app::Button& button, QWidget* parent);
    void buildLabel(app::Label& label, QWidget* parent);
    void buildTextBox(app::TextBox& box, QWidget* parent);
    void buildListBox(app::ListBox& list, QWidget* parent);
    void buildScrollBar(app::HScrollBar& bar, QWidget* parent);
    void buildFrame(app::Frame& frame, QWidget* parent);
    void buildLine(app::Line& line, QWidget* parent);
    void buildStatusBar(app::StatusBar& bar, QWidget* parent);
    void buildTimer(app::TimerControl& timer);
    // Keyboard focus follows the controls' tab indexes.
    void orderFocus();
    void showListSelection();
    bool listKey(const QKeyEvent& key);

    app::Form1& form_;
    // The model's signals this window follows; cut first when the window goes.
    std::vector<app::Connection> connections_;
    // Widgets in creation order (containers before their contents); destroyed in reverse.
    std::vector<std::unique_ptr<QWidget>> owned_;
    std::map<std::string, QWidget*> byName_;
    ListBoxModel listModel_;
    ListBoxView* listView_ = nullptr;
    bool syncingSelection_ = false;
    bool selectionPending_ = false;
    QTimer timer_;
    QShortcut filterShortcut_{QKeySequence(QStringLiteral("Ctrl+F")), this};
};

}  // namespace jilan::ui
