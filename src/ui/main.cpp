// jilan-harvester: the window, or with --harvest / --query a run without one.
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTranslator>

#include <curl/curl.h>

#include <iostream>

#include "app/form1.h"
#include "command_line.h"
#include "desktop_program.h"
#include "io/durable_writer.h"
#include "main_window.h"
#include "model_conversions.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "program/headless.h"
#include "program/interrupt_watch.h"
#include "program/window_less_runs.h"
#include "qt_platform.h"
#include "translations.h"

namespace {

constexpr int kUsageError = 2;

// libcurl's process-wide state: set up once before any thread starts (the harvest's and the
// batch query's transfer pools run on their own threads) and torn down when main returns.
class CurlGlobal {
public:
    CurlGlobal() : ok_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
    ~CurlGlobal() {
        if (ok_) {
            curl_global_cleanup();
        }
    }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
    CurlGlobal(CurlGlobal&&) = delete;
    CurlGlobal& operator=(CurlGlobal&&) = delete;

private:
    bool ok_;
};

int reportErrors(const jilan::ui::ParsedCommandLine& parsed) {
    for (const std::string& error : parsed.errors) {
        std::cerr << "jilan-harvester: " << error << '\n';
    }
    std::cerr << "请运行 jilan-harvester --help 查看用法。\n";
    return kUsageError;
}

jilan::harvest::HarvestOptions harvestOptions(const jilan::ui::LaunchOptions& options) {
    jilan::harvest::HarvestOptions harvest;
    if (options.parallel != 0) {
        harvest.parallel = options.parallel;
    }
    return harvest;
}

jilan::program::CliSettings cliSettings(const jilan::ui::LaunchOptions& options) {
    jilan::program::CliSettings settings;
    settings.urls = options.urls;
    settings.harvest = harvestOptions(options);
    settings.historyPath = options.noHistory ? std::string() : options.historyPath;
    settings.filter = options.filter;
    settings.newOnly = options.newOnly;
    settings.output = options.output;
    settings.format = options.format;
    settings.details = options.details;
    settings.maxNames = static_cast<std::size_t>(options.maxNames);
    settings.pauseMs = options.pauseMs;
    settings.maxAgeHours = options.maxAgeHours;
    settings.since = options.since;
    settings.until = options.until;
    return settings;
}

// The runs that write a file: SIGINT and SIGTERM stop them, and they write what they did.
int runWritingFile(const jilan::ui::LaunchOptions& options) {
    jilan::program::Interruption interruption;
    const jilan::program::InterruptWatch watch(interruption);
    const jilan::program::CliSettings settings = cliSettings(options);
    switch (options.mode) {
        case jilan::ui::RunMode::Harvest:
            return jilan::program::runHarvestCommand(options.pages, settings, interruption,
                                                     std::cerr);
        case jilan::ui::RunMode::SearchHistory:
            return jilan::program::runSearchHistoryCommand(settings, interruption, std::cerr);
        default:
            return jilan::program::runDetailsFromCommand(options.detailsFrom, settings,
                                                         interruption, std::cerr);
    }
}

// Help, version, the window-less runs, and command-line errors.
int runWithoutWindow(const QStringList& args) {
    const jilan::ui::ParsedCommandLine parsed =
        jilan::ui::parseCommandLine(args, jilan::config::processEnv);
    if (!parsed.ok()) {
        return reportErrors(parsed);
    }
    const jilan::ui::LaunchOptions& options = parsed.options;
    jilan::program::HeadlessOptions headless;
    headless.urls = options.urls;
    headless.harvest = harvestOptions(options);
    switch (options.mode) {
        case jilan::ui::RunMode::Help:
            std::cout << jilan::ui::fromQt(jilan::ui::helpText());
            return 0;
        case jilan::ui::RunMode::Version:
            std::cout << jilan::ui::fromQt(jilan::ui::versionText()) << '\n';
            return 0;
        case jilan::ui::RunMode::Harvest:
        case jilan::ui::RunMode::SearchHistory:
        case jilan::ui::RunMode::DetailsFrom:
            return runWritingFile(options);
        case jilan::ui::RunMode::Query:
            return jilan::program::runHeadlessQuery(options.domain, headless, std::cout, std::cerr);
        case jilan::ui::RunMode::Window:
            break;
    }
    std::cerr << "jilan-harvester: 没有可在窗口外运行的任务\n";
    return kUsageError;
}

int runWindow(QApplication& qtApp, const jilan::ui::LaunchOptions& options) {
    jilan::ui::DesktopProgram program(jilan::program::AppOptions{
        options.urls, harvestOptions(options),
        options.noHistory ? std::string() : options.historyPath, options.pauseMs});
    if (!program.load()) {
        return 0;
    }
    program.window().centreOnScreen();
    program.window().show();
    // Returns 0 once the exit question's answer has ended the program.
    return qtApp.exec();
}

}  // namespace

int main(int argc, char** argv) {
    const CurlGlobal curl;
    QCoreApplication::setApplicationName(QStringLiteral("jilan-harvester"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.3"));

    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw.push_back(QString::fromLocal8Bit(argv[i]));
    }
    // A closed reader or a file-size limit comes back from write() as an error to report.
    jilan::io::ignoreWriteSignals();
    if (!jilan::ui::needsWindow(raw, jilan::config::processEnv)) {
        const QCoreApplication core(argc, argv);
        // Qt's own texts (the parser's messages) in Chinese, as in the window.
        QTranslator qtChinese;
        jilan::ui::installQtChinese(qtChinese);
        return runWithoutWindow(QCoreApplication::arguments());
    }

    QApplication qtApp(argc, argv);
    // The toolkit has taken its own options out by now.
    const jilan::ui::ParsedCommandLine parsed =
        jilan::ui::parseCommandLine(QCoreApplication::arguments(), jilan::config::processEnv);
    if (!parsed.ok()) {
        return reportErrors(parsed);
    }
    if (parsed.options.mode != jilan::ui::RunMode::Window) {
        QTranslator qtChinese;
        jilan::ui::installQtChinese(qtChinese);
        return runWithoutWindow(QCoreApplication::arguments());
    }
    return runWindow(qtApp, parsed.options);
}
