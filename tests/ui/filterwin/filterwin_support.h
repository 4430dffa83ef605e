#pragma once

#include <QDir>
#include <QStringList>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/form1.h"
#include "market_sim.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "ui/filterwin/domain_filter_window.h"
#include "ui/filterwin/domain_table_model.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"

namespace jilan::filterwintest {

// The Qt platform with its dialogs answered from a script and its launches recorded.
class ScriptedPlatform : public ui::QtPlatform {
public:
    struct Message {
        std::string prompt;
        app::MessageButtons buttons;
        app::MessageIcon icon;
    };
    std::deque<app::MessageAnswer> answers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::size_t> saveFilters;
    std::vector<Message> messages;
    std::vector<std::string> saveTitles;
    std::vector<std::string> launched;

    app::MessageAnswer messageBox(const std::string& prompt, const std::string&,
                                  app::MessageButtons buttons, app::MessageIcon icon) override {
        messages.push_back({prompt, buttons, icon});
        if (answers.empty()) {
            if (buttons != app::MessageButtons::Ok) {
                // An unscripted question would block a real user: the test or the window is wrong.
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
                                                        const std::string&,
                                                        const std::string&) override {
        saveTitles.push_back(title);
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        if (!answer) {
            return std::nullopt;
        }
        // The filter chosen with it: the first unless the test says otherwise.
        std::size_t filter = 0;
        if (!saveFilters.empty()) {
            filter = saveFilters.front();
            saveFilters.pop_front();
        }
        return app::SaveFileAnswer{*answer, filter};
    }
    void endProgram() override {}

protected:
    bool launchUrl(const QUrl& url) override {
        launched.push_back(url.toString().toStdString());
        return true;
    }
};

inline program::AppOptions appOptions(const config::Urls& urls) {
    program::AppOptions options;
    options.urls = urls;
    return options;
}

// Qt texts from UTF-8 literals (the view builds without implicit conversions).
inline QStringList texts(std::initializer_list<const char*> items) {
    QStringList list;
    for (const char* item : items) {
        list << QString::fromUtf8(item);
    }
    return list;
}

// The market simulator with the realistic names and pages of its first day.
inline sim::Options dayOne() {
    sim::Options options;
    options.day = 1;
    return options;
}

// The program with its main window and the "域名筛选" window beside it.
struct Fixture {
    explicit Fixture(config::Urls urls = config::defaultUrls(), std::string historyPath = {},
                     int pauseMs = 10)
        : application(form, platform, pool, appOptions(urls)),
          main(form),
          window(ui::filterwin::FilterWindowSetup{
              .form = form,
              .platform = platform,
              .mainWindow = &main,
              .details = details::DetailSettings{.urls = urls,
                                                 .pauseMs = pauseMs,
                                                 .maxAgeHours = 12,
                                                 .historyPath = std::move(historyPath)},
              .currentRunId = {},
          }) {
        platform.setWindow(&main);
    }

    void addNames(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            form.List1.addItem(name);
        }
        window.model().flush();
    }

    app::Form1 form;
    ScriptedPlatform platform;
    net::TransferPool pool;
    program::Application application;
    ui::MainWindow main;
    ui::filterwin::DomainFilterWindow window;
};

// A row filter holding only the filter line's compiled expression (which must be valid).
inline ui::filterwin::RowFilter lineFilter(const std::string& expression) {
    ui::filterwin::RowFilter f;
    f.line = std::get<filter::Filter>(filter::Filter::compile(expression));
    return f;
}

// Each test class runs through one of these.
int runLogicTests(int argc, char** argv);
int runModelTests(int argc, char** argv);
int runArrivalsTests(int argc, char** argv);
int runCellDelegateTests(int argc, char** argv);
int runHistoryLoaderTests(int argc, char** argv);
int runWindowTests(int argc, char** argv);
int runBatchTests(int argc, char** argv);
int runScreenshotTests(int argc, char** argv);

}  // namespace jilan::filterwintest
