#pragma once

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"

namespace jilan::uitest {

// The Qt platform with its dialogs answered from a script and its launches,
// popups and the end recorded. Everything else is the real QtPlatform.
class ScriptedPlatform : public ui::QtPlatform {
public:
    struct Message {
        std::string prompt;
        std::string title;
        app::MessageButtons buttons;
    };

    std::deque<app::MessageAnswer> answers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::string folder = "/nonexistent-jilan-folder";
    // Runs inside each popup, with the entries the real popup would show.
    std::function<void(app::Menu&, const std::vector<QString>&)> onPopup;

    std::vector<Message> messages;
    std::vector<std::string> launched;
    std::vector<std::vector<QString>> popups;
    int ends = 0;

    app::MessageAnswer messageBox(const std::string& prompt, const std::string& title,
                                  app::MessageButtons buttons, app::MessageIcon) override;
    std::optional<app::SaveFileAnswer> saveFileQuestion(const std::string&, const std::string&,
                                                        const std::string&) override;
    void popupMenu(app::Menu& menu) override;
    void endProgram() override { ++ends; }
    std::string programFolder() override { return folder; }

protected:
    bool launchUrl(const QUrl& url) override {
        launched.push_back(url.toString().toStdString());
        return true;
    }
};

// The program as main() assembles it, on a scripted platform.
struct Program {
    explicit Program(config::Urls urls = config::defaultUrls());
    ~Program();

    app::Form1 form;
    ScriptedPlatform platform;
    net::TransferPool pool;
    program::Application application;
    ui::MainWindow window;
};

// The captions of the popup's entries, "-" for separators.
std::vector<QString> menuEntries(app::Menu& menu);

// Runs `act` on the first modal dialog or popup that shows up, polling the event
// loop; gives up (act never runs) after `timeoutMs`.
class WhenShown : public QObject {
public:
    explicit WhenShown(std::function<void(QWidget*)> act, int timeoutMs = 5000);
    bool done() const { return done_; }

private:
    void poll();

    std::function<void(QWidget*)> act_;
    QTimer timer_;
    int remainingPolls_;
    bool done_ = false;
};

template <typename W>
W* widget(ui::MainWindow& window, const char* name) {
    return qobject_cast<W*>(window.widgetFor(name));
}

// Each test class runs through one of these; the runner adds up the failures.
int runLayoutTests(int argc, char** argv);
int runEventsTests(int argc, char** argv);
int runListTests(int argc, char** argv);
int runPlatformTests(int argc, char** argv);
int runShellTests(int argc, char** argv);
int runScreenshotTests(int argc, char** argv);
int runEndToEndTests(int argc, char** argv);

}  // namespace jilan::uitest
