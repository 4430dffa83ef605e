#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/controls.h"
#include "app/platform.h"

class QMenu;
class QAction;

namespace jilan::ui {

// The desktop as Qt offers it: event pump, message boxes, clipboard, browser,
// save dialog, popup menus, program folder, ending, style sheets.
class QtPlatform : public app::Platform {
public:
    QtPlatform();
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;
    // The main window: parent of every dialog and target of the skin.
    void setWindow(QWidget* window);
    QWidget* window() const { return window_; }

    void processEvents() override;
    app::MessageAnswer messageBox(const std::string& prompt, const std::string& title,
                                  app::MessageButtons buttons, app::MessageIcon icon) override;
    bool clearClipboard() override;
    bool setClipboardText(const std::string& text) override;
    bool openUrl(const std::string& url) override;
    // The dialog starts on the filter of the offered name's extension (else the first); a
    // name typed without an extension gets the chosen filter's.
    std::optional<app::SaveFileAnswer> saveFileQuestion(const std::string& title,
                                                        const std::string& filter,
                                                        const std::string& initialName) override;
    void popupMenu(app::Menu& menu) override;
    void endProgram() override;
    std::string programFolder() override;
    void applySkin(const std::string& styleSheet) override;
    // Paints the window at once (no event runs) and shows the wait cursor; nests.
    void blockingStarted() override;
    void blockingEnded() override;
    // org.freedesktop.Notifications' Notify on the session bus, waiting at most a moment for
    // its answer; the body escaped where the server reads markup.
    bool notifyDesktop(const std::string& title, const std::string& body) override;
    bool windowInFront() override;
    // A QTimer of its own, apart from the window's controls.
    void startTicker(std::function<void()> tick, int intervalMs) override;
    void stopTicker() override;

    bool ended() const { return ended_; }
    bool tickerRunning() const { return ticker_.isActive(); }

protected:
    // Hands an already checked http/https URL to the desktop's browser.
    virtual bool launchUrl(const QUrl& url);

private:
    QPointer<QWidget> window_;
    std::optional<QString> skin_;
    bool ended_ = false;
    int blocking_ = 0;
    QTimer ticker_;
    std::function<void()> tick_;
    // Whether the notification server reads markup in a body; asked once.
    std::optional<bool> bodyMarkup_;
};

// The URL as Qt parses it when it is an absolute http or https URL with a host;
// nullopt for anything else (other schemes, relative, malformed).
std::optional<QUrl> browsableUrl(const std::string& url);

// The extension a typed name without one gets: the first pattern of the save filter's entry
// `entry` ("文本文件|*.txt" -> "txt"); empty when it names none ("*.*", "*").
QString defaultSuffixOf(const std::string& filter, std::size_t entry = 0);

// The popup's entries for the menu's items, separators for "-"; each action
// paired with the item whose Click it raises.
std::vector<std::pair<QAction*, app::MenuItem*>> fillMenu(const app::Menu& menu, QMenu& popup);

}  // namespace jilan::ui
