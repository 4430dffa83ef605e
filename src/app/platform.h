#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace jilan::app {

class Menu;

enum class MessageButtons { Ok, YesNoCancel };
// Information for a notice or a success, Warning for a failure.
enum class MessageIcon { Information, Warning };
// The answers a message box can give, with their customary numbers.
enum class MessageAnswer : int { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

inline constexpr const char* kMessageTitle = "霁岚系列软件";

// A save-file dialog's answer: the path as the dialog gives it, and which of its filters
// ("desc|patterns|desc|patterns...", counted from 0) was chosen when the user accepted.
struct SaveFileAnswer {
    std::string path;
    std::size_t filterIndex = 0;
};

// A repeating call from the event loop, apart from the window's controls: a stopped batch
// collects its last pages on it while the window goes on. One ticker per platform; starting
// it again replaces the call. The call may stop the ticker itself.
class Ticker {
public:
    virtual ~Ticker() = default;
    virtual void startTicker(std::function<void()> tick, int intervalMs) = 0;
    virtual void stopTicker() = 0;
};

// Everything the program needs from the desktop. The Qt view provides the real
// one; tests provide a recording double. Handlers receive it by constructor.
class Platform : public Ticker {
public:
    // Lets the window handle its pending events once (clicks, ticks, repaints).
    virtual void processEvents() = 0;
    virtual MessageAnswer messageBox(const std::string& prompt, const std::string& title,
                                     MessageButtons buttons, MessageIcon icon) = 0;
    // false when the clipboard could not be cleared or set.
    virtual bool clearClipboard() = 0;
    virtual bool setClipboardText(const std::string& text) = 0;
    // Opens an http/https URL in the user's web browser without a shell;
    // false when it was refused or could not be launched.
    virtual bool openUrl(const std::string& url) = 0;
    // Modal save-file dialog; nullopt when the user cancelled.
    virtual std::optional<SaveFileAnswer> saveFileQuestion(const std::string& title,
                                                           const std::string& filter,
                                                           const std::string& initialName) = 0;
    // The same dialog where only the path matters.
    std::optional<std::string> saveFileDialog(const std::string& title, const std::string& filter,
                                              const std::string& initialName) {
        std::optional<SaveFileAnswer> answer = saveFileQuestion(title, filter, initialName);
        if (!answer) {
            return std::nullopt;
        }
        return std::move(answer->path);
    }
    // Shows the menu as a popup at the pointer; modal. A chosen item raises its
    // Click before this returns.
    virtual void popupMenu(Menu& menu) = 0;
    // Ends the program; the caller stops handling events right after.
    virtual void endProgram() = 0;
    // The folder holding the program's executable, as the platform reports it.
    virtual std::string programFolder() = 0;
    // Applies a skin (a style sheet text) to the window.
    virtual void applySkin(const std::string& styleSheet) = 0;
    // A handler is about to wait without window events: the window paints what the handlers
    // wrote so far and shows the busy cursor, until blockingEnded(). Nothing else runs.
    virtual void blockingStarted() = 0;
    virtual void blockingEnded() = 0;
    // A desktop notification (the session's notification service); false when there is no
    // session bus (a server), no service, or it refused. Never shows a message box instead.
    virtual bool notifyDesktop(const std::string& title, const std::string& body) = 0;
    // The window is the active window and not minimised: the user sees what it shows.
    virtual bool windowInFront() = 0;
};

}  // namespace jilan::app
