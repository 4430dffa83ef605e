// Options: what each command line asks for, and which ones are refused.
#include <QtTest>

#include "ui/command_line.h"
#include "ui_test_support.h"

namespace jilan::uitest {

namespace {

std::optional<std::string> noEnv(const std::string&) {
    return std::nullopt;
}

QStringList args(const QString& line) {
    QStringList list{QStringLiteral("jilan-harvester")};
    if (!line.isEmpty()) {
        list += line.split(QLatin1Char(' '));
    }
    return list;
}

// Arguments separated by "|", so that a filter can hold spaces.
QStringList argList(const QString& line) {
    QStringList list{QStringLiteral("jilan-harvester")};
    list += line.split(QLatin1Char('|'));
    return list;
}

std::optional<std::string> xdgEnv(const std::string& name) {
    if (name == "XDG_DATA_HOME") {
        return "/data/home";
    }
    return std::nullopt;
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void modes_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("parallel");
        const auto W = int(ui::RunMode::Window);
        QTest::newRow("nothing: the window") << "" << W << ""
                                             << ""
                                             << "" << 0;
        QTest::newRow("help") << "--help" << int(ui::RunMode::Help) << ""
                              << ""
                              << "" << 0;
        QTest::newRow("short help") << "-h" << int(ui::RunMode::Help) << ""
                                    << ""
                                    << "" << 0;
        QTest::newRow("version") << "--version" << int(ui::RunMode::Version) << ""
                                 << ""
                                 << "" << 0;
        QTest::newRow("harvest") << "--harvest 20 --output today.txt" << int(ui::RunMode::Harvest)
                                 << "20"
                                 << "today.txt"
                                 << "" << 0;
        QTest::newRow("harvest, parallel 2")
            << "--harvest 3 --parallel 2 --output a.txt" << int(ui::RunMode::Harvest) << "3"
            << "a.txt"
            << "" << 2;
        QTest::newRow("harvest text kept as typed")
            << "--harvest 2.5 --output a.txt" << int(ui::RunMode::Harvest) << "2.5"
            << "a.txt"
            << "" << 0;
        QTest::newRow("query") << "--query example.com" << int(ui::RunMode::Query) << ""
                               << ""
                               << "example.com" << 0;
        QTest::newRow("window with parallel 8") << "--parallel 8" << W << ""
                                                << ""
                                                << "" << 8;
        QTest::newRow("equals form") << "--parallel=1" << W << ""
                                     << ""
                                     << "" << 1;
    }
    void modes() {
        QFETCH(QString, line);
        QFETCH(int, mode);
        QFETCH(QString, pages);
        QFETCH(QString, output);
        QFETCH(QString, domain);
        QFETCH(int, parallel);
        const ui::ParsedCommandLine parsed = ui::parseCommandLine(args(line), noEnv);
        QVERIFY2(parsed.ok(), parsed.ok() ? "" : parsed.errors.front().c_str());
        QCOMPARE(int(parsed.options.mode), mode);
        QCOMPARE(QString::fromStdString(parsed.options.pages), pages);
        QCOMPARE(QString::fromStdString(parsed.options.output), output);
        QCOMPARE(QString::fromStdString(parsed.options.domain), domain);
        QCOMPARE(parsed.options.parallel, parallel);
    }

    void refused_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("parallel 0") << "--parallel 0"
                                    << "--parallel";
        QTest::newRow("parallel 9") << "--parallel 9"
                                    << "--parallel";
        QTest::newRow("parallel word") << "--parallel many"
                                       << "--parallel";
        QTest::newRow("market ftp") << "--market-url ftp://x.cn"
                                    << "market-url";
        QTest::newRow("icp without host") << "--icp-url http://"
                                          << "icp-url";
        QTest::newRow("forum javascript") << "--forum-url javascript:alert(1)"
                                          << "forum-url";
        QTest::newRow("home relative") << "--home-url /home"
                                       << "home-url";
        QTest::newRow("both runs") << "--harvest 2 --query a.cn"
                                   << "--query";
        QTest::newRow("output alone") << "--output a.txt"
                                      << "--output";
        QTest::newRow("unknown option") << "--pages 3"
                                        << "pages";
        QTest::newRow("missing value") << "--query"
                                       << "query";
        QTest::newRow("stray argument") << "extra"
                                        << "extra";
    }
    void refused() {
        QFETCH(QString, line);
        QFETCH(QString, mentions);
        const ui::ParsedCommandLine parsed = ui::parseCommandLine(args(line), noEnv);
        QVERIFY(!parsed.ok());
        bool found = false;
        for (const std::string& e : parsed.errors) {
            found = found || QString::fromStdString(e).contains(mentions);
        }
        QVERIFY2(found, parsed.errors.front().c_str());
        QVERIFY(!ui::needsWindow(args(line), noEnv));
    }

    void urlsFromDefaultsEnvironmentAndOptions() {
        const auto env = [](const std::string& name) -> std::optional<std::string> {
            if (name == "JILAN_MARKET_URL") {
                return "http://env-market.example";
            }
            if (name == "JILAN_HOME_URL") {
                return "http://env-home.example/";
            }
            return std::nullopt;
        };
        const ui::ParsedCommandLine parsed = ui::parseCommandLine(
            args(QStringLiteral("--home-url http://option-home.example/ --forum-url "
                                "https://forum.example/bbs")),
            env);
        QVERIFY(parsed.ok());
        QCOMPARE(parsed.options.urls.market, std::string("http://env-market.example"));
        QCOMPARE(parsed.options.urls.home, std::string("http://option-home.example/"));
        QCOMPARE(parsed.options.urls.forum, std::string("https://forum.example/bbs"));
        QCOMPARE(parsed.options.urls.icp, config::defaultUrls().icp);
    }

    void windowDecision_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("window");
        QTest::newRow("nothing") << "" << true;
        QTest::newRow("URLs only") << "--market-url http://a.example" << true;
        QTest::newRow("toolkit option") << "-platform offscreen" << true;
        QTest::newRow("toolkit style") << "--style fusion --parallel 2" << true;
        QTest::newRow("harvest") << "--harvest 3 --output a.txt" << false;
        QTest::newRow("query beside a toolkit option")
            << "-platform offscreen --query a.cn" << false;
        QTest::newRow("help") << "--help" << false;
        QTest::newRow("version") << "-v" << false;
        QTest::newRow("unknown option") << "--bogus" << false;
        QTest::newRow("bad URL") << "--market-url ftp://x" << false;
    }
    void windowDecision() {
        QFETCH(QString, line);
        QFETCH(bool, window);
        QCOMPARE(ui::needsWindow(args(line), noEnv), window);
    }

    void runOptions_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("history");
        QTest::addColumn<bool>("newOnly");
        QTest::addColumn<bool>("details");
        QTest::addColumn<QString>("range");    // since..until
        QTest::addColumn<QString>("numbers");  // max-names pause-ms max-age-hours
        const auto H = int(ui::RunMode::Harvest);
        const QString defaultHistory = QStringLiteral("/data/home/jilan-harvester/history.sqlite3");
        QTest::newRow("harvest: history in the data folder, defaults")
            << "--harvest|2|--output|a.txt" << H << ""
            << "" << defaultHistory << false << false << ".."
            << "1000 1000 12";
        QTest::newRow("harvest: filter with spaces, new only, own history file")
            << "--harvest|2|--output|a.csv|--filter|len<=5 纯数字|--new-only|--history|/h.db" << H
            << "len<=5 纯数字"
            << ""
            << "/h.db" << true << false << ".."
            << "1000 1000 12";
        QTest::newRow("harvest without history") << "--harvest|1|--output|-|--no-history" << H << ""
                                                 << ""
                                                 << "" << false << false << ".."
                                                 << "1000 1000 12";
        QTest::newRow("harvest with details and its pacing")
            << "--harvest|5|--output|t.xlsx|--details|--pause-ms|20|--max-age-hours|0" << H << ""
            << "" << defaultHistory << false << true << ".."
            << "1000 20 0";
        QTest::newRow("format named, any case")
            << "--harvest|1|--output|a.txt|--format|CSV" << H << ""
            << "csv" << defaultHistory << false << false << ".."
            << "1000 1000 12";
        QTest::newRow("search with a range")
            << "--search-history|--since|2026-12-01|--until|2026-12-07|--output|f.txt"
            << int(ui::RunMode::SearchHistory) << ""
            << "" << defaultHistory << false << false << "2026-12-01..2026-12-07"
            << "1000 1000 12";
        QTest::newRow("search with details capped")
            << "--search-history|--details|--max-names|50|--output|f.csv"
            << int(ui::RunMode::SearchHistory) << ""
            << "" << defaultHistory << false << true << ".."
            << "50 1000 12";
        QTest::newRow("details from a list")
            << "--details-from|names.txt|--output|d.xlsx" << int(ui::RunMode::DetailsFrom) << ""
            << "" << defaultHistory << false << true << ".."
            << "1000 1000 12";
    }
    void runOptions() {
        QFETCH(QString, line);
        QFETCH(int, mode);
        QFETCH(QString, filter);
        QFETCH(QString, format);
        QFETCH(QString, history);
        QFETCH(bool, newOnly);
        QFETCH(bool, details);
        QFETCH(QString, range);
        QFETCH(QString, numbers);
        const ui::ParsedCommandLine parsed = ui::parseCommandLine(argList(line), xdgEnv);
        QVERIFY2(parsed.ok(), parsed.ok() ? "" : parsed.errors.front().c_str());
        const ui::LaunchOptions& o = parsed.options;
        QCOMPARE(int(o.mode), mode);
        QCOMPARE(QString::fromStdString(o.filter), filter);
        QCOMPARE(QString::fromStdString(o.format), format);
        QCOMPARE(QString::fromStdString(o.noHistory ? std::string() : o.historyPath), history);
        QCOMPARE(o.newOnly, newOnly);
        QCOMPARE(o.details, details);
        QCOMPARE(QString::fromStdString(o.since + ".." + o.until), range);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(o.maxNames).arg(o.pauseMs).arg(o.maxAgeHours),
                 numbers);
        QVERIFY(!ui::needsWindow(argList(line), xdgEnv));
    }

    void refusedRunOptions_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed filter: its own message")
            << "--harvest|1|--output|a.txt|--filter|len<=5 lenx<=5"
            << "筛选条件有误：第2项 \"lenx<=5\"：未知条件 lenx";
        QTest::newRow("new only needs the history")
            << "--harvest|1|--output|a.txt|--new-only|--no-history"
            << "--new-only";
        QTest::newRow("new only is for the harvest") << "--search-history|--output|a.txt|--new-only"
                                                     << "--new-only";
        QTest::newRow("search needs the history") << "--search-history|--output|a.txt|--no-history"
                                                  << "--search-history";
        QTest::newRow("history and no history") << "--harvest|1|--output|a|--history|h|--no-history"
                                                << "--no-history";
        QTest::newRow("unknown format") << "--harvest|1|--output|a.txt|--format|pdf"
                                        << "--format";
        QTest::newRow("not a calendar date") << "--search-history|--output|a.txt|--since|2026-02-30"
                                             << "--since";
        QTest::newRow("date in another shape")
            << "--search-history|--output|a.txt|--until|7.12.2026"
            << "--until";
        QTest::newRow("range the wrong way")
            << "--search-history|--output|a|--since|2026-12-07|--until|2026-12-01"
            << "--since";
        QTest::newRow("range without the search") << "--harvest|1|--output|a.txt|--since|2026-12-01"
                                                  << "--since";
        QTest::newRow("details without a run") << "--details"
                                               << "--details";
        QTest::newRow("max names zero") << "--search-history|--details|--output|a|--max-names|0"
                                        << "--max-names";
        QTest::newRow("negative pause") << "--harvest|1|--details|--output|a|--pause-ms|-1"
                                        << "--pause-ms";
        QTest::newRow("pacing without details") << "--harvest|1|--output|a|--pause-ms|10"
                                                << "--pause-ms";
        QTest::newRow("search without output") << "--search-history"
                                               << "--output";
        QTest::newRow("two runs") << "--details-from|l.txt|--harvest|1|--output|a"
                                  << "不能同用";
        QTest::newRow("filter without a run") << "--filter|len<=5"
                                              << "--filter";
    }
    void refusedRunOptions() {
        QFETCH(QString, line);
        QFETCH(QString, message);
        const ui::ParsedCommandLine parsed = ui::parseCommandLine(argList(line), xdgEnv);
        QVERIFY(!parsed.ok());
        bool found = false;
        for (const std::string& e : parsed.errors) {
            found = found || QString::fromStdString(e).contains(message);
        }
        QVERIFY2(found, parsed.errors.front().c_str());
        QVERIFY(!ui::needsWindow(argList(line), xdgEnv));
    }

    // The window's 批量查询 takes --pause-ms; the other pacing options stay with --details.
    void windowPacing_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("window: default pause") << "" << true << 1000;
        QTest::newRow("window: pause for its batch") << "--pause-ms|20" << true << 20;
        QTest::newRow("window: pause of zero") << "--pause-ms|0" << true << 0;
        QTest::newRow("window: negative pause refused") << "--pause-ms|-5" << false << 1000;
        QTest::newRow("window: cache age is for --details only")
            << "--max-age-hours|1" << false << 1000;
    }
    void windowPacing() {
        QFETCH(QString, line);
        QFETCH(bool, accepted);
        QFETCH(int, pauseMs);
        const QStringList arguments = line.isEmpty() ? args(QString()) : argList(line);
        const ui::ParsedCommandLine parsed = ui::parseCommandLine(arguments, xdgEnv);
        QCOMPARE(parsed.ok(), accepted);
        QCOMPARE(int(parsed.options.mode), int(ui::RunMode::Window));
        QCOMPARE(ui::needsWindow(arguments, xdgEnv), accepted);
        if (accepted) {
            QCOMPARE(parsed.options.pauseMs, pauseMs);
        }
    }

    void helpNamesEveryOption() {
        const QString help = ui::helpText();
        for (const char* option :
             {"--market-url",     "--icp-url",    "--forum-url",    "--home-url", "--parallel",
              "--harvest",        "--output",     "--query",        "--help",     "--version",
              "--history",        "--no-history", "--filter",       "--new-only", "--format",
              "--search-history", "--since",      "--until",        "--details",  "--details-from",
              "--max-names",      "--pause-ms",   "--max-age-hours"}) {
            QVERIFY2(help.contains(QLatin1String(option)), option);
        }
        QVERIFY(ui::versionText().contains(QStringLiteral("1.3")));
        QVERIFY(help.contains(QStringLiteral("用法：")));
        QVERIFY(!help.contains(QStringLiteral("Displays")));
    }
};

int runCommandLineTests(int argc, char** argv) {
    CommandLineTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "command_line_test.moc"
