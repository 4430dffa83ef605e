// Rows arriving while the table is on screen: sorted arrivals land where a fresh sort puts
// them and the selection follows its rows, a stream of arrivals is shown in few steps, a
// hidden table only keeps them, and batches of details or new names repaint without
// starting the table over.
#include <QCheckBox>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "filterwin_support.h"
#include "ui/filterwin/domain_table_model.h"
#include "ui/filterwin/filter_bar.h"

namespace jilan::filterwintest {

using ui::filterwin::Column;
using ui::filterwin::DomainTableModel;
using ui::filterwin::tableIndexOf;
using ui::filterwin::TableRow;

namespace {

QStringList domains(const DomainTableModel& model) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        cells << model.data(model.index(row, tableIndexOf(Column::Domain))).toString();
    }
    return cells;
}

std::vector<TableRow> rowsOf(const QStringList& names, int firstIndex = 0) {
    std::vector<TableRow> rows;
    for (const QString& name : names) {
        rows.push_back(ui::filterwin::makeRow(name.toStdString(), firstIndex++));
    }
    return rows;
}

// n names "p00.com", "p02.com", ... (step 2 from `first`): two such lists interleave when
// sorted by name.
QStringList numbered(const char* prefix, int first, int count) {
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << QStringLiteral("%1%2.com")
                     .arg(QString::fromUtf8(prefix))
                     .arg(first + 2 * i, 2, 10, QLatin1Char('0'));
    }
    return names;
}

}  // namespace

class TableArrivalsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void arrivalsLandWhereAFreshSortPutsThem_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("arrivals");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("filter");
        QTest::newRow("by length: equal lengths after the rows already there")
            << texts({"bb.com", "dddd.com", "a.cn"}) << texts({"cc.com", "e.net", "fffff.com"})
            << tableIndexOf(Column::Length) << false << QString();
        QTest::newRow("by length descending, filtered")
            << texts({"bb.com", "dddd.com", "a.cn", "ggggggg.com"})
            << texts({"cc.com", "hhhhhhhh.com", "eeee.net"}) << tableIndexOf(Column::Length) << true
            << QStringLiteral("len<=4");
        QTest::newRow("by name, a few places: one insert each")
            << numbered("p", 0, 10) << texts({"p05.com", "a.com", "z.com", "p05.com"})
            << tableIndexOf(Column::Domain) << false << QString();
        QTest::newRow("by name, more places than inserts allowed: one change of layout")
            << numbered("p", 0, 60) << numbered("p", 1, 60) << tableIndexOf(Column::Domain) << false
            << QString();
        QTest::newRow("by name descending, many places, filtered")
            << numbered("q", 0, 60) << numbered("q", 1, 60) << tableIndexOf(Column::Domain) << true
            << QStringLiteral("!has=7");
        QTest::newRow("unsorted: arrivals after the rest")
            << texts({"b.com", "a.com"}) << texts({"c.com", "0.com"}) << -1 << false << QString();
    }
    void arrivalsLandWhereAFreshSortPutsThem() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, arrivals);
        QFETCH(int, column);
        QFETCH(bool, descending);
        QFETCH(QString, filter);
        const Qt::SortOrder order = descending ? Qt::DescendingOrder : Qt::AscendingOrder;

        DomainTableModel live;
        live.append(rowsOf(before));
        live.flush();
        if (column >= 0) {
            live.sort(column, order);
        }
        live.setFilter(lineFilter(filter.toStdString()));
        // A table showing it, its selection on the first shown row: the selection must stay
        // on that name and the table's rows must follow the model's.
        QTableView view;
        view.setModel(&live);
        view.selectRow(0);
        const QPersistentModelIndex selected = live.index(0, 0);
        const QString selectedName = selected.data().toString();
        QSignalSpy resets(&live, &QAbstractItemModel::modelReset);
        live.append(rowsOf(arrivals, static_cast<int>(before.size())));
        live.flush();

        DomainTableModel fresh;
        fresh.append(rowsOf(before + arrivals));
        fresh.flush();
        fresh.setFilter(lineFilter(filter.toStdString()));
        if (column >= 0) {
            fresh.sort(column, order);
        }
        QCOMPARE(domains(live), domains(fresh));
        QCOMPARE(live.total(), static_cast<int>(before.size() + arrivals.size()));
        QCOMPARE(resets.count(), 0);
        QVERIFY(selected.isValid());
        QCOMPARE(selected.data().toString(), selectedName);
        const QModelIndexList stillSelected = view.selectionModel()->selectedRows();
        QCOMPARE(stillSelected.size(), 1);
        QCOMPARE(stillSelected.front().data().toString(), selectedName);
        QCOMPARE(view.verticalHeader()->count(), live.rowCount());
    }

    void aStreamOfArrivalsIsShownInFewSteps() {
        DomainTableModel model;
        // Far longer than the test: whatever arrives after the first showing waits for it.
        model.setArrivalInterval(60'000);
        QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
        model.append(ui::filterwin::makeRow("first.com", 0));
        QTRY_COMPARE(model.rowCount(), 1);
        for (int turn = 0; turn < 20; ++turn) {
            model.append(ui::filterwin::makeRow("n" + std::to_string(turn) + ".com", turn + 1));
            QCoreApplication::processEvents();
        }
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(model.pending());
        model.flush();
        QCOMPARE(model.rowCount(), 21);
        QCOMPARE(inserts.count(), 2);
    }

    void aHeldTableOnlyKeepsItsArrivals() {
        DomainTableModel model;
        model.setHeld(true);
        model.append(rowsOf(texts({"a.com", "Late.com"})));
        for (int turn = 0; turn < 5; ++turn) {
            QCoreApplication::processEvents();
        }
        QCOMPARE(model.rowCount(), 0);
        // Details reach a row that is not shown yet.
        ui::filterwin::DetailCells cells;
        cells.result = "成功";
        model.setDetails("late.com", cells);
        model.setNewNames({"a.com"}, true);
        model.setHeld(false);
        QCOMPARE(domains(model), texts({"a.com", "Late.com"}));
        QCOMPARE(model.data(model.index(1, tableIndexOf(Column::QueryResult))).toString(),
                 QStringLiteral("成功"));
        QCOMPARE(model.data(model.index(0, tableIndexOf(Column::New))).toString(),
                 QStringLiteral("新"));
    }

    void aBatchOfDetailsIsOneRepaint_data() {
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<int>("notices");
        QTest::newRow("shown rows: one notice for the batch")
            << texts({"aa.com", "bb.com", "long-name.com"}) << 1;
        QTest::newRow("only hidden rows: none") << texts({"long-name.com"}) << 0;
        QTest::newRow("names not in the table: none") << texts({"zz.com"}) << 0;
    }
    void aBatchOfDetailsIsOneRepaint() {
        QFETCH(QStringList, named);
        QFETCH(int, notices);
        DomainTableModel model;
        model.append(rowsOf(texts({"aa.com", "bb.com", "long-name.com"})));
        model.flush();
        model.setFilter(lineFilter("len<=3"));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        std::vector<std::pair<std::string, ui::filterwin::DetailCells>> found;
        for (const QString& name : named) {
            ui::filterwin::DetailCells cells;
            cells.result = "成功";
            found.emplace_back(name.toStdString(), cells);
        }
        model.setDetails(found);
        QCOMPARE(changed.count(), notices);
        // Hidden rows got theirs too.
        model.setFilter(lineFilter(""));
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString name = domains(model)[row];
            QCOMPARE(model.data(model.index(row, tableIndexOf(Column::QueryResult)))
                         .toString()
                         .isEmpty(),
                     !named.contains(name));
        }
    }

    void newNamesAddUpWithinARun_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("afterFirst");
        QTest::addColumn<QStringList>("afterAdded");
        QTest::addColumn<QStringList>("afterReplaced");
        QTest::addColumn<int>("resets");
        QTest::newRow("filtered on 新: the shown rows change")
            << QStringLiteral("new") << texts({"a.com"}) << texts({"a.com", "b.com"})
            << texts({"c.com"}) << 2;
        QTest::newRow("not filtered on 新: only the cells change")
            << QString() << texts({"a.com", "b.com", "c.com"}) << texts({"a.com", "b.com", "c.com"})
            << texts({"a.com", "b.com", "c.com"}) << 0;
    }
    void newNamesAddUpWithinARun() {
        QFETCH(QString, filter);
        QFETCH(QStringList, afterFirst);
        QFETCH(QStringList, afterAdded);
        QFETCH(QStringList, afterReplaced);
        QFETCH(int, resets);
        DomainTableModel model;
        model.append(rowsOf(texts({"a.com", "b.com", "c.com"})));
        model.flush();
        model.setFilter(lineFilter(filter.toStdString()));
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        const auto newColumn = [&] {
            QStringList marks;
            model.setFilter(lineFilter(""));
            for (int row = 0; row < model.rowCount(); ++row) {
                marks << model.data(model.index(row, tableIndexOf(Column::New))).toString();
            }
            model.setFilter(lineFilter(filter.toStdString()));
            return marks;
        };
        model.setNewNames({"a.com"}, true);
        QCOMPARE(domains(model), afterFirst);
        model.setNewNames({"b.com"}, false);
        QCOMPARE(domains(model), afterAdded);
        const int resetsSoFar = reset.count();
        QCOMPARE(newColumn(), texts({"新", "新", ""}));
        model.setNewNames({"c.com"}, true);
        QCOMPARE(domains(model), afterReplaced);
        QCOMPARE(resetsSoFar, resets);
        QCOMPARE(newColumn(), texts({"", "", "新"}));
    }

    void suffixBoxesStayWhileTheirOrderHolds() {
        ui::filterwin::FilterBar bar;
        bar.setSuffixes({{"com", 5}, {"cn", 3}});
        QCheckBox* com = bar.findChild<QCheckBox*>(QStringLiteral("suffix_com"));
        QVERIFY(com != nullptr);
        com->setChecked(true);
        struct Step {
            const char* rule;
            std::vector<std::pair<std::string, int>> counts;
            bool sameBox;
            QString tooltip;
        };
        const Step steps[] = {
            {"same order, new counts: the box stays",
             {{"com", 9}, {"cn", 4}},
             true,
             QStringLiteral("9 个")},
            {"a new suffix: boxes made again",
             {{"com", 9}, {"cn", 4}, {"net", 1}},
             false,
             QStringLiteral("9 个")},
        };
        for (const Step& step : steps) {
            bar.setSuffixes(step.counts);
            QCheckBox* now = bar.findChild<QCheckBox*>(QStringLiteral("suffix_com"));
            QVERIFY2(now != nullptr, step.rule);
            QVERIFY2((now == com) == step.sameBox, step.rule);
            QVERIFY2(now->isChecked(), step.rule);
            QCOMPARE(now->toolTip(), step.tooltip);
            com = now;
        }
    }
};

int runArrivalsTests(int argc, char** argv) {
    TableArrivalsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "table_arrivals_test.moc"
