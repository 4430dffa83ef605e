#pragma once

#include <QDir>
#include <QStringList>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <variant>
#include <vector>

#include "app/form1.h"
#include "market_sim.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "scripted_platform.h"
#include "ui/filterwin/domain_filter_window.h"
#include "ui/filterwin/domain_table_model.h"
#include "ui/main_window.h"

namespace jilan::filterwintest {

using jilan::testing::ScriptedPlatform;

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
              .scoreWeights = filter::defaultScoreWeights(),
              .notifyConfigPath = {},
              // Pushes pause for nothing: a dead channel's retries cost no real time.
              .pushTiming = {{}, [](std::int64_t) {}},
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
int runStatsTabTests(int argc, char** argv);
int runWatchTests(int argc, char** argv);
int runPushSelectionTests(int argc, char** argv);

}  // namespace jilan::filterwintest
