// The batch query from the window against the market simulator: progress, cells filled as
// results arrive, stop and resume, closing the window and ending the program while a batch runs.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "filterwin_support.h"
#include "market_sim.h"
#include "query/detail_batch.h"

namespace jilan::filterwintest {

namespace {

constexpr int kBatchEndsWithinMs = 30'000;

std::vector<std::string> names(int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        out.push_back("pici" + std::to_string(i) + ".com");
    }
    return out;
}

config::Urls simUrls(const sim::MarketSim& sim) {
    config::Urls urls = config::defaultUrls();
    urls.market = sim.baseUrl();
    urls.icp = sim.icpBaseUrl();
    return urls;
}

QStringList results(ui::filterwin::DomainFilterWindow& window) {
    QStringList cells;
    auto& model = window.model();
    for (int row = 0; row < model.rowCount(); ++row) {
        cells << model
                     .data(model.index(
                         row, ui::filterwin::tableIndexOf(ui::filterwin::Column::QueryResult)))
                     .toString();
    }
    return cells;
}

}  // namespace

class BatchQueryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void batchFillsEveryShownRowAndCountsProgress() {
        sim::MarketSim sim(dayOne());
        QVERIFY(sim.start());
        QTemporaryDir dir;
        Fixture f(simUrls(sim), dir.filePath(QStringLiteral("history.sqlite3")).toStdString());
        f.addNames(names(6));
        f.window.findChild<QPushButton*>(QStringLiteral("batchButton"))->click();
        QVERIFY(f.window.batchRunning());
        QVERIFY(f.window.findChild<QPushButton*>(QStringLiteral("stopButton"))->isVisible() ||
                !f.window.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.batchRunning(), kBatchEndsWithinMs);
        auto* progress = f.window.findChild<QProgressBar*>(QStringLiteral("batchProgress"));
        QTRY_COMPARE(progress->value(), 6);
        QCOMPARE(progress->maximum(), 6);
        QCOMPARE(results(f.window), QStringList(6, QStringLiteral("成功")));
        // 6 names, each a detail and an ICP request.
        QCOMPARE(static_cast<int>(sim.requests().size()), 12);
        const auto& row = f.window.model().rowAt(0);
        QVERIFY(row.details != nullptr);
        QVERIFY(!row.details->deletionTime.empty());

        // The second batch of the same names comes from the cache: nothing is sent.
        sim.clearRequests();
        f.window.startBatch();
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.batchRunning(), kBatchEndsWithinMs);
        QCOMPARE(static_cast<int>(sim.requests().size()), 0);
        QTRY_VERIFY(f.window.findChild<QLabel*>(QStringLiteral("batchText"))
                        ->text()
                        .contains(QStringLiteral("缓存 6")));
    }

    void selectionOfTwoOrMoreIsWhatIsQueried() {
        sim::MarketSim sim(dayOne());
        QVERIFY(sim.start());
        Fixture f(simUrls(sim));
        f.addNames(names(5));
        for (int row : {1, 3}) {
            f.window.table().selectionModel()->select(
                f.window.model().index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        f.window.startBatch();
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.batchRunning(), kBatchEndsWithinMs);
        QTRY_COMPARE(results(f.window), (texts({"", "成功", "", "成功", ""})));
    }

    void stopSaysWhatHappenedAndResumeAsksOnlyTheRest() {
        sim::MarketSim sim(dayOne());
        QVERIFY(sim.start());
        QTemporaryDir dir;
        Fixture f(simUrls(sim), dir.filePath(QStringLiteral("history.sqlite3")).toStdString(),
                  /*pauseMs=*/300);
        f.addNames(names(12));
        f.window.startBatch();
        auto* progress = f.window.findChild<QProgressBar*>(QStringLiteral("batchProgress"));
        QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 1, kBatchEndsWithinMs);
        f.window.findChild<QPushButton*>(QStringLiteral("stopButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.batchRunning(), kBatchEndsWithinMs);
        const QString interrupted =
            QString::fromUtf8(query::kNotAskedInterrupted.data(),
                              static_cast<qsizetype>(query::kNotAskedInterrupted.size()));
        QTRY_VERIFY(results(f.window).contains(interrupted));
        const auto done = static_cast<int>(results(f.window).count(QStringLiteral("成功")));
        const auto notAsked = static_cast<int>(results(f.window).count(interrupted));
        QCOMPARE(done + notAsked, 12);
        QVERIFY(done >= 1);
        // The bar and the summary count only what was answered; nothing is called a failure.
        QCOMPARE(progress->value(), done);
        const QString summary = f.window.findChild<QLabel*>(QStringLiteral("batchText"))->text();
        QVERIFY2(summary.contains(QStringLiteral("%1 / 12").arg(done)) &&
                     summary.contains(QStringLiteral("未查询 %1").arg(notAsked)) &&
                     !summary.contains(QStringLiteral("失败")),
                 qPrintable(summary));
        // A name never asked has no detail at all: not even a failed filing.
        auto& model = f.window.model();
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.rowAt(row).details->result != query::kNotAskedInterrupted) {
                continue;
            }
            for (int column = 0; column < ui::filterwin::kTableColumnCount; ++column) {
                const auto id = exporting::kTableColumns[static_cast<std::size_t>(column)];
                if (exporting::specOf(id).source == exporting::Source::Details &&
                    id != exporting::Column::QueryResult) {
                    QCOMPARE(model.data(model.index(row, column)).toString(), QString());
                }
            }
        }

        // 继续查询 asks only the names the stop left: two requests each.
        sim.clearRequests();
        auto* resume = f.window.findChild<QPushButton*>(QStringLiteral("resumeButton"));
        QVERIFY(!resume->isHidden());
        resume->click();
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.batchRunning(), kBatchEndsWithinMs);
        QTRY_COMPARE(results(f.window), QStringList(12, QStringLiteral("成功")));
        QCOMPARE(static_cast<int>(sim.requests().size()), 2 * notAsked);
    }

    // Ctrl+B starts the batch on the shown rows and stops it; over 200 names it asks first.
    void ctrlBTogglesTheBatchAndAsksAboveTwoHundred_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("answer");  // 0: no question expected
        QTest::addColumn<bool>("runs");
        QTest::newRow("200 names: no question") << 200 << 0 << true;
        QTest::newRow("201 names, 否: nothing starts")
            << 201 << static_cast<int>(app::MessageAnswer::No) << false;
        QTest::newRow("201 names, 是: it starts")
            << 201 << static_cast<int>(app::MessageAnswer::Yes) << true;
    }

    void ctrlBTogglesTheBatchAndAsksAboveTwoHundred() {
        QFETCH(int, count);
        QFETCH(int, answer);
        QFETCH(bool, runs);
        sim::MarketSim sim(dayOne());
        QVERIFY(sim.start());
        Fixture f(simUrls(sim));
        f.addNames(names(count));
        if (answer != 0) {
            f.platform.answers.push_back(static_cast<app::MessageAnswer>(answer));
        }
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QTest::keyClick(&f.window, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(f.platform.messages.size(), std::size_t{answer != 0 ? 1U : 0U});
        if (answer != 0) {
            const QString prompt = QString::fromStdString(f.platform.messages[0].prompt);
            QVERIFY2(prompt.startsWith(QStringLiteral("批量查询 201 个域名，约 ")) &&
                         prompt.endsWith(QStringLiteral("，可随时停止。开始查询？")),
                     qPrintable(prompt));
        }
        QCOMPARE(f.window.batchRunning(), runs);
        if (runs) {
            QTest::keyClick(&f.window, Qt::Key_B, Qt::ControlModifier);
            QTRY_VERIFY(!f.window.batchRunning());
            QVERIFY(sim.requests().size() < static_cast<std::size_t>(2 * count));
        }
    }

    void closingTheWindowLetsTheBatchGoOn() {
        sim::MarketSim sim(dayOne());
        QVERIFY(sim.start());
        Fixture f(simUrls(sim), {}, /*pauseMs=*/50);
        f.addNames(names(4));
        f.window.show();
        f.window.startBatch();
        f.window.close();
        QVERIFY(!f.window.isVisible());
        QVERIFY(f.window.batchRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.batchRunning(), kBatchEndsWithinMs);
        QTRY_COMPARE(results(f.window), QStringList(4, QStringLiteral("成功")));
    }

    void endingTheProgramCancelsTheBatch() {
        sim::MarketSim sim(dayOne());
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const std::string store = dir.filePath(QStringLiteral("history.sqlite3")).toStdString();
        Fixture f(simUrls(sim), store, /*pauseMs=*/300);
        f.addNames(names(20));
        f.window.show();
        f.window.startBatch();
        QTRY_VERIFY_WITH_TIMEOUT(
            f.window.findChild<QProgressBar*>(QStringLiteral("batchProgress"))->value() >= 1,
            kBatchEndsWithinMs);
        f.window.shutdown();
        QVERIFY(!f.window.batchRunning());
        QVERIFY(!f.window.isVisible());
        const std::size_t sent = sim.requests().size();
        QVERIFY(sent < 40);
        // What finished before the end was cached: a new window sends nothing for it.
        sim.clearRequests();
        Fixture again(simUrls(sim), store, 0);
        again.addNames({"pici0.com"});
        again.window.startBatch();
        QTRY_VERIFY_WITH_TIMEOUT(!again.window.batchRunning(), kBatchEndsWithinMs);
        QCOMPARE(static_cast<int>(sim.requests().size()), 0);
    }
};

int runBatchTests(int argc, char** argv) {
    BatchQueryTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "batch_query_test.moc"
