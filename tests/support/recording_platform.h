#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/controls.h"
#include "app/platform.h"

namespace jilan::testing {

// A platform that answers from a script and records every call. A dialog that
// the test did not script fails the test instead of blocking it.
class RecordingPlatform : public app::Platform {
public:
    struct MessageCall {
        std::string prompt;
        std::string title;
        app::MessageButtons buttons;
        app::MessageIcon icon;
    };
    struct SaveCall {
        std::string title;
        std::string filter;
        std::string initialName;
    };

    // --- script ---
    std::deque<app::MessageAnswer> messageAnswers;
    std::deque<std::optional<std::string>> saveAnswers;  // nullopt = cancel
    std::function<void()> onProcessEvents;               // runs inside each pump
    std::function<void(app::Menu&)> onPopup;             // e.g. choose an item
    bool clipboardWorks = true;
    bool launchWorks = true;
    std::string folder = "/opt/jilan";

    // --- record ---
    int pumps = 0;
    std::vector<MessageCall> messages;
    std::vector<SaveCall> saveDialogs;
    std::vector<std::string> openedUrls;
    std::optional<std::string> clipboard;
    int clipboardClears = 0;
    int popups = 0;
    int endCalls = 0;
    std::vector<std::string> skins;

    void processEvents() override {
        ++pumps;
        if (onProcessEvents) {
            onProcessEvents();
        }
    }
    app::MessageAnswer messageBox(const std::string& prompt, const std::string& title,
                                  app::MessageButtons buttons, app::MessageIcon icon) override {
        messages.push_back({prompt, title, buttons, icon});
        if (messageAnswers.empty()) {
            if (buttons == app::MessageButtons::Ok) {
                return app::MessageAnswer::Ok;
            }
            ADD_FAILURE() << "unexpected question: " << prompt;
            return app::MessageAnswer::Cancel;
        }
        const app::MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    bool clearClipboard() override {
        if (!clipboardWorks) {
            return false;
        }
        ++clipboardClears;
        clipboard.reset();
        return true;
    }
    bool setClipboardText(const std::string& text) override {
        if (!clipboardWorks) {
            return false;
        }
        clipboard = text;
        return true;
    }
    bool openUrl(const std::string& url) override {
        openedUrls.push_back(url);
        return launchWorks;
    }
    std::optional<app::SaveFileAnswer> saveFileQuestion(const std::string& title,
                                                        const std::string& filter,
                                                        const std::string& initialName) override {
        saveDialogs.push_back({title, filter, initialName});
        if (saveAnswers.empty()) {
            ADD_FAILURE() << "unexpected save dialog: " << title;
            return std::nullopt;
        }
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        if (!answer) {
            return std::nullopt;
        }
        return app::SaveFileAnswer{*answer, 0};
    }
    void popupMenu(app::Menu& menu) override {
        ++popups;
        if (onPopup) {
            onPopup(menu);
        }
    }
    void endProgram() override { ++endCalls; }
    std::string programFolder() override { return folder; }
    void applySkin(const std::string& styleSheet) override { skins.push_back(styleSheet); }

    // --- ticker: runs only when the test calls tick() ---
    std::function<void()> ticker;
    int tickerIntervalMs = 0;
    int tickerStarts = 0;
    int tickerStops = 0;
    void startTicker(std::function<void()> tick, int intervalMs) override {
        ++tickerStarts;
        ticker = std::move(tick);
        tickerIntervalMs = intervalMs;
    }
    void stopTicker() override {
        ++tickerStops;
        ticker = nullptr;
    }
    // One call of the running ticker, as the event loop would make it; false when none runs.
    bool tick() {
        if (!ticker) {
            return false;
        }
        const std::function<void()> call = ticker;  // the call may stop the ticker
        call();
        return true;
    }

    // --- blocking waits ---
    int blockingStarts = 0;
    int blockingEnds = 0;
    std::function<void()> onBlockingStarted;  // e.g. read what the window would paint
    void blockingStarted() override {
        ++blockingStarts;
        if (onBlockingStarted) {
            onBlockingStarted();
        }
    }
    void blockingEnded() override { ++blockingEnds; }

    // --- desktop notifications ---
    struct Notification {
        std::string title;
        std::string body;
    };
    bool inFront = true;                      // the window is active and not minimised
    bool notifyWorks = true;                  // false: no session bus
    std::vector<Notification> notifications;  // every one asked for, shown or not
    bool notifyDesktop(const std::string& title, const std::string& body) override {
        notifications.push_back({title, body});
        return notifyWorks;
    }
    bool windowInFront() override { return inFront; }
};

}  // namespace jilan::testing
