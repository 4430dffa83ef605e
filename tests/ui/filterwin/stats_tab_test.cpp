// The 统计 tab over a small store: it shows the store's counts, follows the filter line (a
// filter SQLite applies and one tested per name), and exports its charts as a PNG.
#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "filterwin_support.h"
#include "history/recorder.h"
#include "program/harvest_history.h"
#include "ui/filterwin/domain_filter_window.h"

namespace jilan::filterwintest {

class StatsTabTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheStoreAndFollowsTheFilter() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string store = dir.filePath(QStringLiteral("h.sqlite3")).toStdString();
        {
            history::Recorder recorder(program::recorderOptionsFor(store));
            const std::int64_t at = QDateTime::currentSecsSinceEpoch() - 3'600;
            const history::RunTicket t = recorder.beginRun(1, at);
            recorder.recordPage(t, {"1234.com", "5678.cn", "abcd.com", "ab-c.com"}, at);
            recorder.endRun(t, history::RunStats{at, 1, 0, 4});
            recorder.completeRun(t, at);
        }
        Fixture f(config::defaultUrls(), store);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        ui::filterwin::StatsTab& tab = f.window.statsTab();
        f.window.tabs().setCurrentWidget(&tab);
        auto* edit = f.window.findChild<QLineEdit*>(QStringLiteral("filterEdit"));
        QVERIFY(edit != nullptr);

        struct Case {
            const char* filter;
            std::int64_t total;
            std::int64_t digits;  // 纯数字 among them
        };
        for (const Case c : {Case{"", 4, 2}, Case{"纯数字", 2, 2}, Case{"!has=4", 3, 1},
                             Case{"tld=cn 纯数字", 1, 1}}) {
            const QString line = QString::fromUtf8(c.filter);
            // Typed Chinese does not go through key events: the text is set as a paste would.
            edit->setText(line);
            f.window.filterBar().applyNow();
            QTRY_VERIFY2(!tab.busy() && tab.stats().total == c.total, c.filter);
            QVERIFY2(tab.stats().ok(), tab.stats().error.c_str());

            // What the stacked bars draw adds up to the counts, class by class.
            auto* view = tab.findChild<QChartView*>(QStringLiteral("dailyChart"));
            QVERIFY(view != nullptr && !view->chart()->series().isEmpty());
            auto* bars = qobject_cast<QAbstractBarSeries*>(view->chart()->series().front());
            QVERIFY(bars != nullptr);
            qreal drawn = 0, digits = 0;
            for (QBarSet* set : bars->barSets()) {
                qreal sum = 0;
                for (int i = 0; i < set->count(); ++i) {
                    sum += set->at(i);
                }
                drawn += sum;
                if (set->label() == QStringLiteral("纯数字")) {
                    digits = sum;
                }
            }
            QCOMPARE(drawn, static_cast<qreal>(c.total));
            QCOMPARE(digits, static_cast<qreal>(c.digits));
            QVERIFY(tab.findChild<QLabel*>(QStringLiteral("statsSummary"))
                        ->text()
                        .contains(QStringLiteral("新出现 %1 个域名").arg(c.total)));
        }

        // 90 days count the same names over more days.
        tab.setDays(90);
        QTRY_VERIFY(!tab.busy() && tab.stats().perDay.size() == 90U);
        QCOMPARE(tab.stats().total, std::int64_t{1});

        const QString png = dir.filePath(QStringLiteral("charts.png"));
        f.platform.saveAnswers.push_back(png.toStdString());
        tab.exportPng();
        const QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 100);
    }
};

int runStatsTabTests(int argc, char** argv) {
    StatsTabTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "stats_tab_test.moc"
