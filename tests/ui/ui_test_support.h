#pragma once

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "app/form1.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "scripted_platform.h"
#include "ui/main_window.h"

namespace jilan::uitest {

using jilan::testing::ScriptedPlatform;

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
