// The table model: filtering into visible rows, stable typed sorting, batched arrivals, and
// details filling the cells of every row of a name.
#include <QSignalSpy>
#include <QtTest>

#include <time.h>

#include "filterwin_support.h"
#include "ui/filterwin/domain_table_model.h"

namespace jilan::filterwintest {

using ui::filterwin::Column;
using ui::filterwin::DomainTableModel;
using ui::filterwin::tableIndexOf;
using ui::filterwin::TableRow;

namespace {

QStringList column(const DomainTableModel& model, Column c) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        cells << model.data(model.index(row, tableIndexOf(c))).toString();
    }
    return cells;
}

TableRow seenRow(const std::string& domain, std::int64_t firstSeen) {
    TableRow row = ui::filterwin::makeRow(domain, -1);
    row.firstSeen = firstSeen;
    row.lastSeen = firstSeen;
    return row;
}

void fill(DomainTableModel& model, const std::vector<std::string>& names) {
    std::vector<TableRow> rows;
    for (std::size_t i = 0; i < names.size(); ++i) {
        rows.push_back(ui::filterwin::makeRow(names[i], static_cast<int>(i)));
    }
    model.append(std::move(rows));
    model.flush();
}

TableRow detailedRow(const std::string& domain, std::optional<std::int64_t> firstSeen,
                     std::optional<bool> isNew, std::optional<ui::filterwin::DetailCells> cells) {
    TableRow row = ui::filterwin::makeRow(domain, -1);
    row.firstSeen = firstSeen;
    row.lastSeen = firstSeen;
    row.runsSeen = firstSeen ? 3 : 0;
    row.isNew = isNew;
    if (cells) {
        row.setDetails(*cells);
    }
    return row;
}

ui::filterwin::DetailCells cellsOf(const char* deletion, const char* deadline, const char* filed,
                                   const char* number, const char* price, const char* yuan,
                                   const char* result) {
    ui::filterwin::DetailCells cells;
    cells.deletionType = "过期删除";
    cells.deletionTime = deletion;
    cells.bookingDeadline = deadline;
    cells.filed = filed;
    cells.filingNumber = number;
    cells.bookingPrice = price;
    cells.priceInYuan = yuan;
    cells.result = result;
    return cells;
}

}  // namespace

class TableModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filterKeepsEveryRowAndShowsThePassingOnes_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("empty line: all")
            << QString() << texts({"8888.com", "abc.cn", "lanshan.com", "a-1.com"});
        QTest::newRow("length") << QStringLiteral("len<=3") << texts({"abc.cn", "a-1.com"});
        QTest::newRow("class word") << QStringLiteral("纯数字") << texts({"8888.com"});
        QTest::newRow("negation and suffix")
            << QStringLiteral("!tld=cn !含横杠") << texts({"8888.com", "lanshan.com"});
    }
    void filterKeepsEveryRowAndShowsThePassingOnes() {
        QFETCH(QString, expression);
        QFETCH(QStringList, shown);
        DomainTableModel model;
        fill(model, {"8888.com", "abc.cn", "lanshan.com", "a-1.com"});
        model.setFilter(lineFilter(expression.toStdString()));
        QCOMPARE(column(model, Column::Domain), shown);
        QCOMPARE(model.total(), 4);
    }

    void sortByLengthIsNumericAndStable() {
        DomainTableModel model;
        // 10 letters sorts after 9 as a number, before it as text.
        fill(model, {"abcdefghij.com", "bb.com", "abcdefghi.com", "aa.cn", "cc.net"});
        model.sort(tableIndexOf(Column::Length), Qt::AscendingOrder);
        QCOMPARE(column(model, Column::Domain),
                 (texts({"bb.com", "aa.cn", "cc.net", "abcdefghi.com", "abcdefghij.com"})));
        model.sort(tableIndexOf(Column::Length), Qt::DescendingOrder);
        // Equal lengths keep their order of arrival in both directions.
        QCOMPARE(column(model, Column::Domain),
                 (texts({"abcdefghij.com", "abcdefghi.com", "bb.com", "aa.cn", "cc.net"})));
    }

    void sortByScoreIsNumericWithUnscorableLastAndExplainsItself() {
        // Scores 92, 27, 14 and 2 and one name that cannot be scored: as text 2 would sort
        // between 27 and 14.
        const std::vector<std::string> names = {"abc123.net", "x&y.cn", "888.com", "zz9.xyz",
                                                "1.top"};
        const filter::ScoreWeights weights = filter::defaultScoreWeights();
        std::vector<std::pair<int, std::string>> scored;
        for (const std::string& name : names) {
            scored.emplace_back(filter::scoreName(filter::computeFeatures(name), weights).value,
                                name);
        }
        std::sort(scored.begin(), scored.end());
        QStringList ascending, descending;
        for (const auto& [score, name] : scored) {
            if (score >= 0) {
                ascending << QString::fromStdString(name);
                descending.prepend(QString::fromStdString(name));
            }
        }
        ascending << QStringLiteral("x&y.cn");
        descending << QStringLiteral("x&y.cn");
        DomainTableModel model;
        fill(model, names);
        model.sort(tableIndexOf(Column::Score), Qt::AscendingOrder);
        QCOMPARE(column(model, Column::Domain), ascending);
        model.sort(tableIndexOf(Column::Score), Qt::DescendingOrder);
        QCOMPARE(column(model, Column::Domain), descending);
        const QModelIndex best = model.index(0, tableIndexOf(Column::Score));
        QCOMPARE(model.data(best).toString(), QString::number(scored.back().first));
        QCOMPARE(model.data(best, Qt::ToolTipRole).toString(),
                 QString::fromStdString(
                     filter::scoreName(filter::computeFeatures(scored.back().second), weights)
                         .breakdown));
    }

    void sortByFirstSightingIsByTimeWithUnknownLast() {
        DomainTableModel model;
        std::vector<TableRow> rows;
        rows.push_back(seenRow("late.com", 1'765'000'000));
        rows.push_back(ui::filterwin::makeRow("never.com", -1));
        rows.push_back(seenRow("early.com", 1'700'000'000));
        model.append(std::move(rows));
        model.flush();
        for (const auto order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            model.sort(tableIndexOf(Column::FirstSeen), order);
            const QStringList names = column(model, Column::Domain);
            QCOMPARE(names.last(), QStringLiteral("never.com"));
            QCOMPARE(names.first(), order == Qt::AscendingOrder ? QStringLiteral("early.com")
                                                                : QStringLiteral("late.com"));
        }
    }

    void sortedArrivalsFindTheirPlace() {
        DomainTableModel model;
        fill(model, {"ccc.com", "a.com"});
        model.sort(tableIndexOf(Column::Length), Qt::AscendingOrder);
        model.setFilter(lineFilter("len<=3"));
        model.append(ui::filterwin::makeRow("bb.com", 2));
        model.append(ui::filterwin::makeRow("toolong.com", 3));
        model.flush();
        QCOMPARE(column(model, Column::Domain), (texts({"a.com", "bb.com", "ccc.com"})));
        QCOMPARE(model.total(), 4);
    }

    void arrivalsInOneTurnAreOneInsert() {
        DomainTableModel model;
        QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 500; ++i) {
            model.append(ui::filterwin::makeRow("n" + std::to_string(i) + ".com", i));
        }
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.pending());
        QTRY_COMPARE(model.rowCount(), 500);
        QCOMPARE(inserts.count(), 1);
    }

    void detailsFillEveryRowOfTheName() {
        DomainTableModel model;
        fill(model, {"Dup.com", "other.com", "dup.com"});
        ui::filterwin::DetailCells cells;
        cells.deletionTime = "2026-12-08 09:00:00";
        cells.filed = "已备案";
        cells.filingNumber = "京ICP备12345678号";
        cells.bookingPrice = "80 元";
        cells.result = "成功";
        model.setDetails("DUP.com", cells);
        QCOMPARE(column(model, Column::DeletionTime),
                 (texts({"2026-12-08 09:00:00", "", "2026-12-08 09:00:00"})));
        QCOMPARE(column(model, Column::Filed).first(),
                 QStringLiteral("已备案（京ICP备12345678号）"));
        QCOMPARE(column(model, Column::QueryResult), (texts({"成功", "", "成功"})));
    }

    void newNamesDriveTheNewTerm() {
        DomainTableModel model;
        fill(model, {"old.com", "fresh.com", "FRESH.com"});
        model.setFilter(lineFilter("new"));
        QCOMPARE(model.rowCount(), 0);
        model.setNewNames({"fresh.com"});
        QCOMPARE(column(model, Column::Domain), (texts({"fresh.com", "FRESH.com"})));
        QCOMPARE(column(model, Column::New), (texts({"新", "新"})));
    }

    // Every column's caption, alignment, text and order, as the window has shown them.
    void everyColumnAsShown() {
        const QByteArray savedZone = qgetenv("TZ");
        qputenv("TZ", "UTC");
        ::tzset();
        DomainTableModel model;
        // Watched before it arrives: the row takes its star as it comes.
        model.setWatched({"b2.com"}, true);
        std::vector<TableRow> rows;
        rows.push_back(detailedRow("霁岚.cn", 1'796'000'000, true,
                                   cellsOf("2026-12-07 09:00:00", "2026-12-06 18:00", "已备案",
                                           "京ICP备1号", "1,280 元", "", "成功")));
        rows.push_back(detailedRow("aaaa.cn", std::nullopt, std::nullopt, std::nullopt));
        rows.push_back(detailedRow(
            "b2.com", 300, false,
            cellsOf("2026-12-09", "2026-12-01 08:00", "未备案", "", "$20", "140", "成功")));
        rows.push_back(detailedRow("1-2.org", 200, false,
                                   cellsOf("", "", "查询失败", "", "", "", "备案查询失败")));
        model.append(std::move(rows));
        model.flush();
        QStringList captions, aligned, first;
        for (int c = 0; c < model.columnCount(); ++c) {
            captions << model.headerData(c, Qt::Horizontal).toString();
            if (model.data(model.index(0, c), Qt::TextAlignmentRole).isValid()) {
                aligned << captions.last();
            }
            first << model.data(model.index(0, c)).toString();
        }
        QStringList orders;
        for (int c = 0; c < model.columnCount(); ++c) {
            for (const auto order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                model.sort(c, order);
                QStringList names;
                for (int row = 0; row < model.rowCount(); ++row) {
                    names << model.data(model.index(row, 0)).toString();
                }
                orders << names.join(QLatin1Char(' '));
            }
        }
        if (savedZone.isNull()) {
            qunsetenv("TZ");
        } else {
            qputenv("TZ", savedZone);
        }
        ::tzset();
        QCOMPARE(captions, (texts({"域名", "关注", "长度", "后缀", "类别", "结构", "拼音",
                                   "首次发现", "新", "删除时间", "预定截止", "是否备案", "预定价格",
                                   "折合人民币", "查询结果", "评分"})));
        QCOMPARE(aligned, (texts({"长度", "评分"})));
        QCOMPARE(first, (texts({"霁岚.cn", "☆", "2", "cn", "中文", "", "", "2026-11-30 00:53:20",
                                "新", "2026-12-07 09:00:00", "2026-12-06 18:00",
                                "已备案（京ICP备1号）", "1,280 元", "", "成功", "48"})));
        // Per column, ascending then descending: numbers, times and dates by value, 类别 by
        // class, 新 after not new, 关注 after not watched, 预定价格 as text ("$20" before "1,280
        // 元"), 折合人民币 by its yuan (else the quoted price); missing values last both ways.
        const QStringList expected = texts({
            "1-2.org aaaa.cn b2.com 霁岚.cn", "霁岚.cn b2.com aaaa.cn 1-2.org",  // 域名
            "霁岚.cn aaaa.cn 1-2.org b2.com", "b2.com 霁岚.cn aaaa.cn 1-2.org",  // 关注
            "霁岚.cn b2.com 1-2.org aaaa.cn", "aaaa.cn 1-2.org 霁岚.cn b2.com",  // 长度
            "霁岚.cn aaaa.cn b2.com 1-2.org", "1-2.org b2.com 霁岚.cn aaaa.cn",  // 后缀
            "霁岚.cn 1-2.org aaaa.cn b2.com", "b2.com aaaa.cn 1-2.org 霁岚.cn",  // 类别
            "aaaa.cn b2.com 1-2.org 霁岚.cn", "1-2.org b2.com aaaa.cn 霁岚.cn",  // 结构
            "aaaa.cn 霁岚.cn b2.com 1-2.org", "aaaa.cn 霁岚.cn b2.com 1-2.org",  // 拼音
            "1-2.org b2.com 霁岚.cn aaaa.cn", "霁岚.cn b2.com 1-2.org aaaa.cn",  // 首次发现
            "b2.com 1-2.org 霁岚.cn aaaa.cn", "霁岚.cn b2.com 1-2.org aaaa.cn",  // 新
            "霁岚.cn b2.com aaaa.cn 1-2.org", "b2.com 霁岚.cn aaaa.cn 1-2.org",  // 删除时间
            "b2.com 霁岚.cn aaaa.cn 1-2.org", "霁岚.cn b2.com aaaa.cn 1-2.org",  // 预定截止
            "霁岚.cn b2.com 1-2.org aaaa.cn", "1-2.org b2.com 霁岚.cn aaaa.cn",  // 是否备案
            "b2.com 霁岚.cn aaaa.cn 1-2.org", "霁岚.cn b2.com aaaa.cn 1-2.org",  // 预定价格
            "b2.com 霁岚.cn aaaa.cn 1-2.org", "霁岚.cn b2.com aaaa.cn 1-2.org",  // 折合人民币
            "1-2.org 霁岚.cn b2.com aaaa.cn", "霁岚.cn b2.com 1-2.org aaaa.cn",  // 查询结果
            "1-2.org 霁岚.cn aaaa.cn b2.com", "b2.com aaaa.cn 霁岚.cn 1-2.org",  // 评分
        });
        QCOMPARE(orders, expected);
    }

    void suffixesByFrequency() {
        DomainTableModel model;
        fill(model, {"a.cn", "b.com", "c.cn", "d.com.cn", "e.cn", "f.com"});
        const auto counts = model.suffixCounts();
        QCOMPARE(counts.size(), std::size_t{3});
        QCOMPARE(QString::fromStdString(counts[0].first), QStringLiteral("cn"));
        QCOMPARE(counts[0].second, 3);
        QCOMPARE(QString::fromStdString(counts[1].first), QStringLiteral("com"));
        QCOMPARE(QString::fromStdString(counts[2].first), QStringLiteral("com.cn"));
    }
};

int runModelTests(int argc, char** argv) {
    TableModelTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "table_model_test.moc"
