// 推送选中 against the platforms' stand-in, the table's context menu on a selection, and the
// second exit question while a batch runs.
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "filterwin_support.h"
#include "history/watchlist.h"
#include "push_sim.h"

namespace jilan::filterwintest {

namespace {

constexpr int kEndsWithinMs = 30'000;
const std::vector<std::string> kNames = {"8866.com", "abc.cn", "66.cn", "qwer.net", "zhongguo.com"};
const std::vector<int> kPicked = {0, 2, 3};

config::Urls simUrls(const sim::MarketSim& sim) {
    config::Urls urls = config::defaultUrls();
    urls.market = sim.baseUrl();
    urls.icp = sim.icpBaseUrl();
    return urls;
}

void select(ui::filterwin::DomainFilterWindow& window, const std::vector<int>& rows) {
    for (const int row : rows) {
        window.table().selectionModel()->select(
            window.model().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

QAction* tableMenuAction(ui::filterwin::DomainFilterWindow& window, const QString& caption) {
    Q_EMIT window.table().customContextMenuRequested(QPoint(4, 4));
    auto* menu = window.findChild<QMenu*>(QStringLiteral("tableMenu"));
    for (QAction* action : menu != nullptr ? menu->actions() : QList<QAction*>()) {
        if (action->text() == caption) {
            return action;
        }
    }
    return nullptr;
}

QString statusOf(ui::filterwin::DomainFilterWindow& window) {
    return window.findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
}

// How many times each name starts a line of what the stand-in accepted.
std::map<std::string, int> namesAccepted(const pushsim::PushSim& sim) {
    std::map<std::string, int> seen;
    for (const std::string& name : kNames) {
        seen[name] = 0;
    }
    for (const pushsim::Accepted& a : sim.accepted()) {
        std::size_t start = 0;
        while (start < a.text.size()) {
            const std::size_t end = std::min(a.text.find('\n', start), a.text.size());
            const std::string line = a.text.substr(start, end - start);
            for (const std::string& name : kNames) {
                seen[name] += line.starts_with(name + "  ") ? 1 : 0;
            }
            start = end + 1;
        }
    }
    return seen;
}

}  // namespace

class PushSelectionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pushSendsTheSelectedRowsOrSaysWhy_data() {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("mode");  // of notify.toml; 0: no file
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QString>("status");  // what the status line starts with
        QTest::newRow("each picked name arrives once")
            << QStringLiteral("团队群") << 0600 << false
            << QStringLiteral("已推送 3 个域名到 团队群（企业微信 ");
        QTest::newRow("a dead channel fails in Chinese")
            << QStringLiteral("死群") << 0600 << true
            << QStringLiteral("推送失败：死群（企业微信 ");
        QTest::newRow("a file others can read sends nothing")
            << QStringLiteral("团队群") << 0644 << false
            << QStringLiteral("无法推送：通知配置文件权限过宽（0644），请执行 chmod 600 ");
        QTest::newRow("no file sends nothing") << QStringLiteral("团队群") << 0 << true
                                               << QStringLiteral("无法推送：无法读取通知配置 ");
    }
    void pushSendsTheSelectedRowsOrSaysWhy() {
        QFETCH(QString, channel);
        QFETCH(int, mode);
        QFETCH(bool, fromMenu);
        QFETCH(QString, status);
        pushsim::PushSim sim;
        pushsim::PushSim dead;
        QVERIFY(sim.start() != 0 && dead.start() != 0);
        const std::string deadBase = dead.base();
        dead.stop();
        // The file in its default place: the desktop program names none.
        QTemporaryDir dir;
        setenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit().constData(), 1);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("jilan-harvester")));
        const std::string path =
            dir.filePath(QStringLiteral("jilan-harvester/notify.toml")).toStdString();
        if (mode != 0) {
            std::ofstream(path) << "[[channel]]\nname = \"团队群\"\ntype = \"wecom\"\nurl = \""
                                << sim.base() << "/wecom/webhook/send?key=k-team\"\n\n"
                                << "[[channel]]\nname = \"死群\"\ntype = \"wecom\"\nurl = \""
                                << deadBase << "/wecom/webhook/send?key=k-dead\"\n";
            std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode));
        }
        Fixture f;
        f.addNames(kNames);
        f.window.open();
        select(f.window, kPicked);

        if (fromMenu) {
            tableMenuAction(f.window, QStringLiteral("推送选中"))->trigger();
        } else {
            QTest::mouseClick(f.window.findChild<QPushButton*>(QStringLiteral("pushButton")),
                              Qt::LeftButton);
        }
        auto* picker = f.window.findChild<QMenu*>(QStringLiteral("pushMenu"));
        if (mode == 0600) {
            QVERIFY(picker != nullptr && picker->isVisible());
            for (QAction* action : picker->actions()) {
                if (action->data().toString() == channel) {
                    action->trigger();
                }
            }
            QVERIFY(f.window.pushRunning());
            QTRY_VERIFY_WITH_TIMEOUT(!f.window.pushRunning(), kEndsWithinMs);
            QTRY_VERIFY(!statusOf(f.window).startsWith(QStringLiteral("正在推送")));
        } else {
            QVERIFY(picker == nullptr || !picker->isVisible());
        }
        QVERIFY2(statusOf(f.window).startsWith(status), qPrintable(statusOf(f.window)));
        QVERIFY(!statusOf(f.window).contains(QStringLiteral("k-")));

        const bool delivered = mode == 0600 && channel == QStringLiteral("团队群");
        std::map<std::string, int> want;
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            const bool picked =
                std::find(kPicked.begin(), kPicked.end(), static_cast<int>(i)) != kPicked.end();
            want[kNames[i]] = delivered && picked ? 1 : 0;
        }
        QCOMPARE(namesAccepted(sim), want);
        if (delivered) {
            QVERIFY(sim.accepted().front().text.find("选中域名：3 个") != std::string::npos);
        }
    }

    void tableMenuActsOnTheSelectedRows() {
        sim::MarketSim market(dayOne());
        QVERIFY(market.start());
        QTemporaryDir dir;
        const std::string store = dir.filePath(QStringLiteral("h.sqlite3")).toStdString();
        Fixture f(simUrls(market), store);
        f.addNames(kNames);
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        select(f.window, {1, 4});
        const std::set<std::string> picked = {kNames[1], kNames[4]};

        tableMenuAction(f.window, QStringLiteral("复制"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("abc.cn\nzhongguo.com\n"));

        const auto stored = [&store] {
            std::set<std::string> names;
            history::Watchlist list = history::Watchlist::open(store, history::OpenMode::ReadOnly);
            for (const history::WatchedName& name :
                 list.ok() ? list.list().value_or(std::vector<history::WatchedName>{})
                           : std::vector<history::WatchedName>{}) {
                names.insert(name.domain);
            }
            return names;
        };
        tableMenuAction(f.window, QStringLiteral("关注"))->trigger();
        f.window.finishStoreWrites();
        QCOMPARE(stored(), picked);
        tableMenuAction(f.window, QStringLiteral("关注"))->trigger();
        f.window.finishStoreWrites();
        QCOMPARE(stored(), std::set<std::string>{});

        const QString csv = dir.filePath(QStringLiteral("选中.csv"));
        f.platform.saveAnswers.push_back(csv.toStdString());
        tableMenuAction(f.window, QStringLiteral("导出选中"))->trigger();
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(file.readAll());
        for (const std::string& name : kNames) {
            QCOMPARE(written.contains(QString::fromStdString(name + ",")), picked.contains(name));
        }

        market.clearRequests();
        tableMenuAction(f.window, QStringLiteral("查询"))->trigger();
        QVERIFY(f.window.batchRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.batchRunning(), kEndsWithinMs);
        const int result = ui::filterwin::tableIndexOf(ui::filterwin::Column::QueryResult);
        QStringList want;
        for (const std::string& name : kNames) {
            want << (picked.contains(name) ? QStringLiteral("成功") : QString());
        }
        const auto cells = [&f, result] {
            QStringList got;
            for (int row = 0; row < f.window.model().shown(); ++row) {
                got << f.window.model().data(f.window.model().index(row, result)).toString();
            }
            return got;
        };
        QTRY_COMPARE(cells(), want);
    }

    void secondExitQuestionDecidesWhileABatchRuns_data() {
        QTest::addColumn<bool>("leave");
        QTest::newRow("no keeps the program and the batch") << false;
        QTest::newRow("yes ends the program") << true;
    }
    void secondExitQuestionDecidesWhileABatchRuns() {
        QFETCH(bool, leave);
        sim::MarketSim market(dayOne());
        QVERIFY(market.start());
        Fixture f(simUrls(market), {}, /*pauseMs=*/300);
        std::vector<std::string> names;
        for (int i = 0; i < 20; ++i) {
            names.push_back("tuichu" + std::to_string(i) + ".com");
        }
        f.addNames(names);
        f.window.startBatch();
        QVERIFY(f.window.batchRunning());
        // The main window's own question answered to leave (No: without the forum page).
        f.platform.answers = {app::MessageAnswer::No,
                              leave ? app::MessageAnswer::Yes : app::MessageAnswer::No};
        f.form.requestClose();
        QCOMPARE(f.platform.messages.size(), std::size_t{2});
        QVERIFY(QString::fromStdString(f.platform.messages[1].prompt)
                    .startsWith(QStringLiteral("批量查询未完成（剩余 ")));
        QCOMPARE(f.form.ended(), leave);
        if (!leave) {
            QVERIFY(f.window.batchRunning());
            const std::size_t asked = market.requests().size();
            QTRY_VERIFY_WITH_TIMEOUT(market.requests().size() > asked, kEndsWithinMs);
        }
        f.window.shutdown();
    }
};

int runPushSelectionTests(int argc, char** argv) {
    PushSelectionTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "push_selection_test.moc"
