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

    void helpNamesEveryOption() {
        const QString help = ui::helpText();
        for (const char* option :
             {"--market-url", "--icp-url", "--forum-url", "--home-url", "--parallel", "--harvest",
              "--output", "--query", "--help", "--version"}) {
            QVERIFY2(help.contains(QLatin1String(option)), option);
        }
        QVERIFY(ui::versionText().contains(QStringLiteral("1.3")));
    }
};

int runCommandLineTests(int argc, char** argv) {
    CommandLineTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "command_line_test.moc"
