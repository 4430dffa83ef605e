#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>

#include "app/form1.h"
#include "app/platform.h"
#include "config/urls.h"
#include "harvest/harvester.h"
#include "net/fetch_result.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "settings.h"

namespace jilan::cli {

// No desktop at all: nothing to pump, nothing to ask, nothing to launch.
class HeadlessPlatform : public app::Platform {
public:
    void processEvents() override {}
    app::MessageAnswer messageBox(const std::string&, const std::string&, app::MessageButtons,
                                  app::MessageIcon) override {
        return app::MessageAnswer::Ok;
    }
    bool clearClipboard() override { return false; }
    bool setClipboardText(const std::string&) override { return false; }
    bool openUrl(const std::string&) override { return false; }
    std::optional<app::SaveFileAnswer> saveFileQuestion(const std::string&, const std::string&,
                                                        const std::string&) override {
        return std::nullopt;
    }
    void popupMenu(app::Menu&) override {}
    void endProgram() override {}
    std::string programFolder() override { return {}; }
    void applySkin(const std::string&) override {}
    void blockingStarted() override {}
    void blockingEnded() override {}
    // A window-less run notifies through --notify's desktop channel, never through this.
    bool notifyDesktop(const std::string&, const std::string&) override { return false; }
    bool windowInFront() override { return true; }

    // The ticker runs only when the window-less loop calls tick().
    void startTicker(std::function<void()> tick, int intervalMs) override {
        ticker_ = std::move(tick);
        tickerIntervalMs_ = intervalMs;
    }
    void stopTicker() override { ticker_ = nullptr; }
    bool tickerRunning() const { return static_cast<bool>(ticker_); }
    int tickerIntervalMs() const { return tickerIntervalMs_; }
    void tick() {
        if (ticker_) {
            const std::function<void()> call = ticker_;  // the call may stop the ticker
            call();
        }
    }

private:
    std::function<void()> ticker_;
    int tickerIntervalMs_ = 0;
};

// The whole program, wired as in the window, on the window-less platform; every status text
// is echoed to `err`, one line per change, or handed to `echo` when one is given.
struct HeadlessProgram {
    using StatusEcho = std::function<void(const std::string&)>;
    HeadlessProgram(const Settings& options, std::ostream& err, StatusEcho echo = {});

    // Runs the platform's ticker until it stops: after a stop, the pages that were on the
    // wire are collected and appended.
    void drain();

    app::Form1 form;
    // Before the application, so that a status written while it is torn down is echoed too.
    app::Connection statusEcho;
    HeadlessPlatform platform;
    net::TransferPool pool;
    program::Application application;
};

// Runs the double-click query on `domain` and prints the captions of Label1,
// Label2, Label13, Label12, Label8..Label11 and then the whois text, one per
// line, to `out`; status texts go to `err`. Returns 3 when the detail page or the lookup
// failed, else 0.
int runHeadlessQuery(const std::string& domain, const Settings& options, std::ostream& out,
                     std::ostream& err);

}  // namespace jilan::cli
