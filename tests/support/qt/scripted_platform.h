#pragma once

// The Qt platform doubles of the UI tests: the real QtPlatform with the browser kept out of
// the test, and one whose dialogs answer from a script and record what they were asked.
#include <QAction>
#include <QMenu>
#include <QString>
#include <QTest>
#include <QUrl>

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/model_conversions.h"
#include "ui/qt_platform.h"

namespace jilan::testing {

// The real Qt platform, minus the browser: a launch is only recorded.
class NoBrowserPlatform : public ui::QtPlatform {
public:
    std::vector<std::string> launched;

protected:
    bool launchUrl(const QUrl& url) override {
        launched.push_back(url.toString().toStdString());
        return true;
    }
};

// Dialogs answered from the script; questions, save dialogs, popups and the end recorded.
// A question or save dialog nobody scripted fails the test: it would block a real user.
class ScriptedPlatform : public NoBrowserPlatform {
public:
    struct Message {
        std::string prompt;
        std::string title;
        app::MessageButtons buttons;
        app::MessageIcon icon;
    };
    struct SaveDialog {
        std::string title;
        std::string filter;
        std::string initialName;
    };

    // --- script ---
    std::deque<app::MessageAnswer> answers;
    std::deque<std::optional<std::string>> saveAnswers;  // nullopt = cancel
    std::deque<std::size_t> saveFilters;  // chosen with each file given; else the first
    std::string folder = "/nonexistent-jilan-folder";
    // Runs inside each popup, with the entries the real popup would show.
    std::function<void(app::Menu&, const std::vector<QString>&)> onPopup;

    // --- record ---
    std::vector<Message> messages;
    std::vector<SaveDialog> saveDialogs;
    std::vector<std::vector<QString>> popups;  // each popup's captions, "-" for separators
    int ends = 0;

    app::MessageAnswer messageBox(const std::string& prompt, const std::string& title,
                                  app::MessageButtons buttons, app::MessageIcon icon) override {
        messages.push_back({prompt, title, buttons, icon});
        if (answers.empty()) {
            if (buttons != app::MessageButtons::Ok) {
                QTest::qFail(("unscripted question: " + prompt).c_str(), __FILE__, __LINE__);
            }
            return buttons == app::MessageButtons::Ok ? app::MessageAnswer::Ok
                                                      : app::MessageAnswer::Cancel;
        }
        const app::MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<app::SaveFileAnswer> saveFileQuestion(const std::string& title,
                                                        const std::string& filter,
                                                        const std::string& initialName) override {
        saveDialogs.push_back({title, filter, initialName});
        if (saveAnswers.empty()) {
            QTest::qFail(("unscripted save dialog: " + title).c_str(), __FILE__, __LINE__);
            return std::nullopt;
        }
        const std::optional<std::string> answer = saveAnswers.front();
        saveAnswers.pop_front();
        if (!answer) {
            return std::nullopt;
        }
        std::size_t chosen = 0;
        if (!saveFilters.empty()) {
            chosen = saveFilters.front();
            saveFilters.pop_front();
        }
        return app::SaveFileAnswer{*answer, chosen};
    }
    void popupMenu(app::Menu& menu) override {
        QMenu popup;
        ui::fillMenu(menu, popup);
        std::vector<QString> entries;
        for (const QAction* action : popup.actions()) {
            entries.push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        popups.push_back(entries);
        if (onPopup) {
            onPopup(menu, popups.back());
        }
    }
    void endProgram() override { ++ends; }
    std::string programFolder() override { return folder; }
};

}  // namespace jilan::testing
