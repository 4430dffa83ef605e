// The window's toolkit-free rules: toggles as filter terms, presets' text, sort keys, which rows
// an action takes, booking pages.
#include <QtTest>

#include "filterwin_support.h"
#include "ui/filterwin/quick_toggles.h"
#include "ui/filterwin/table_actions.h"
#include "ui/filterwin/table_row.h"

Q_DECLARE_METATYPE(jilan::ui::filterwin::QuickToggles)

namespace jilan::filterwintest {

using ui::filterwin::QuickToggles;

namespace {

QuickToggles toggles(std::initializer_list<bool QuickToggles::*> on, int minLength = 0,
                     int maxLength = 0, std::vector<std::string> suffixes = {}) {
    QuickToggles t;
    for (auto member : on) {
        t.*member = true;
    }
    t.minLength = minLength;
    t.maxLength = maxLength;
    t.suffixes = std::move(suffixes);
    return t;
}

}  // namespace

class FilterLogicTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void togglesBecomeTerms_data() {
        QTest::addColumn<QuickToggles>("toggles");
        QTest::addColumn<QString>("expression");
        QTest::newRow("nothing set: no term") << QuickToggles{} << QString();
        QTest::newRow("classes are alternatives")
            << toggles({&QuickToggles::digits, &QuickToggles::mixed})
            << QStringLiteral("kind=digits,mixed");
        QTest::newRow("syllable counts are alternatives")
            << toggles({&QuickToggles::twoSyllables, &QuickToggles::threeSyllables})
            << QStringLiteral("pinyin=2,3");
        QTest::newRow("groups, range, suffixes and new all hold")
            << toggles({&QuickToggles::letters, &QuickToggles::initials, &QuickToggles::oneSyllable,
                        &QuickToggles::newOnly},
                       2, 5, {"com", "com.cn"})
            << QStringLiteral("kind=letters 声母 pinyin=1 len>=2 len<=5 tld=com,com.cn new");
        QTest::newRow("an open range bound is no term")
            << toggles({}, 0, 8) << QStringLiteral("len<=8");
    }
    void togglesBecomeTerms() {
        QFETCH(QuickToggles, toggles);
        QFETCH(QString, expression);
        QCOMPARE(QString::fromStdString(ui::filterwin::toggleExpression(toggles)), expression);
        // Whatever is set compiles in the filter language.
        QVERIFY(std::holds_alternative<filter::Filter>(
            filter::Filter::compile(ui::filterwin::toggleExpression(toggles))));
    }

    void presetTextKeepsEveryToggle_data() {
        QTest::addColumn<QuickToggles>("toggles");
        QTest::newRow("empty") << QuickToggles{};
        QTest::newRow("every flag") << toggles(
            {&QuickToggles::digits, &QuickToggles::letters, &QuickToggles::mixed,
             &QuickToggles::initials, &QuickToggles::oneSyllable, &QuickToggles::twoSyllables,
             &QuickToggles::threeSyllables, &QuickToggles::newOnly});
        QTest::newRow("range and suffixes") << toggles({}, 3, 6, {"cn", "com.cn", "xn--fiqs8s"});
    }
    void presetTextKeepsEveryToggle() {
        QFETCH(QuickToggles, toggles);
        QCOMPARE(ui::filterwin::decodeToggles(ui::filterwin::encodeToggles(toggles)), toggles);
    }

    void datesSortAsDates_data() {
        QTest::addColumn<QString>("earlier");
        QTest::addColumn<QString>("later");
        QTest::newRow("day before month's end")
            << QStringLiteral("2026-12-09 23:00:00") << QStringLiteral("2026-12-10 06:00:00");
        QTest::newRow("unpadded month")
            << QStringLiteral("2026-9-30") << QStringLiteral("2026-10-01");
        QTest::newRow("Chinese separators")
            << QStringLiteral("2026年12月7日 8时") << QStringLiteral("2026年12月7日 10时");
    }
    void datesSortAsDates() {
        QFETCH(QString, earlier);
        QFETCH(QString, later);
        const auto a = exporting::dateKey(earlier.toStdString());
        const auto b = exporting::dateKey(later.toStdString());
        QVERIFY(a && b);
        QVERIFY(*a < *b);
        // As text the first two rows would sort the other way round or tie.
    }

    void notADateHasNoKey() {
        QVERIFY(!exporting::dateKey("预定已结束"));
        QVERIFY(!exporting::dateKey("12:30"));
    }

    void pricesSortAsNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("yuan with unit") << QStringLiteral("80 元") << 80.0;
        QTest::newRow("thousands separator") << QStringLiteral("1,280.50 元") << 1280.5;
        QTest::newRow("currency before") << QStringLiteral("US$ 12.5") << 12.5;
    }
    void pricesSortAsNumbers() {
        QFETCH(QString, text);
        QFETCH(double, value);
        const std::optional<double> parsed = exporting::leadingNumber(text.toStdString());
        QVERIFY(parsed.has_value());
        QCOMPARE(*parsed, value);
    }

    void actionTargets_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QList<int>>("targets");
        QTest::newRow("no selection: every shown row") << QList<int>{} << 3 << QList<int>{0, 1, 2};
        QTest::newRow("one selected row: every shown row")
            << QList<int>{1} << 3 << QList<int>{0, 1, 2};
        QTest::newRow("two or more: the selection in view order")
            << QList<int>{4, 1, 4} << 6 << QList<int>{1, 4};
    }
    void actionTargets() {
        QFETCH(QList<int>, selected);
        QFETCH(int, shown);
        QFETCH(QList<int>, targets);
        const std::vector<int> got =
            ui::filterwin::exportTargets(std::vector<int>(selected.begin(), selected.end()), shown);
        QCOMPARE(QList<int>(got.begin(), got.end()), targets);
    }

    void bookingOpensAtMostFifty() {
        std::vector<std::string> names;
        for (int i = 0; i < 60; ++i) {
            names.push_back("n" + std::to_string(i) + ".com");
        }
        const auto urls = ui::filterwin::bookingUrls("http://market.example", names);
        QCOMPARE(urls.size(), ui::filterwin::kMostBookingPages);
        QCOMPARE(QString::fromStdString(urls.front()),
                 QStringLiteral("http://market.example/backorder/n0.com"));
    }

    void exportFormatFromTheTypedNameOrTheChosenFilter_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("chosen");  // 0 TXT, 1 CSV, 2 XLSX
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("path");
        const int txt = int(exporting::Format::Txt);
        const int csv = int(exporting::Format::Csv);
        const int xlsx = int(exporting::Format::Xlsx);
        QTest::newRow("typed csv wins over the TXT filter") << "/d/a.csv" << 0 << csv << "/d/a.csv";
        QTest::newRow("typed extension in capitals") << "/d/A.XLSX" << 0 << xlsx << "/d/A.XLSX";
        QTest::newRow("typed txt wins over the XLSX filter")
            << "/d/a.txt" << 2 << txt << "/d/a.txt";
        QTest::newRow("no extension: the TXT filter's") << "/d/a" << 0 << txt << "/d/a.txt";
        QTest::newRow("no extension: the CSV filter's") << "/d/a" << 1 << csv << "/d/a.csv";
        QTest::newRow("no extension: the XLSX filter's") << "/d/a" << 2 << xlsx << "/d/a.xlsx";
        QTest::newRow("another extension is kept, the filter decides")
            << "/d/a.dat" << 1 << csv << "/d/a.dat";
        QTest::newRow("a dot in the folder is no extension")
            << "/d/v1.2/a" << 2 << xlsx << "/d/v1.2/a.xlsx";
        QTest::newRow("a hidden name has no extension")
            << "/d/.names" << 1 << csv << "/d/.names.csv";
        QTest::newRow("unknown filter: as the first") << "/d/a" << 7 << txt << "/d/a.txt";
    }
    void exportFormatFromTheTypedNameOrTheChosenFilter() {
        QFETCH(QString, typed);
        QFETCH(int, chosen);
        QFETCH(int, format);
        QFETCH(QString, path);
        const ui::filterwin::ExportTarget target =
            ui::filterwin::exportTarget(typed.toStdString(), static_cast<std::size_t>(chosen));
        QCOMPARE(int(target.format), format);
        QCOMPARE(QString::fromStdString(target.path), path);
    }

    void bookingPagesComeFromABrowsableBase() {
        const auto urls = ui::filterwin::bookingUrls("http://market.example", {"a b.com", "ok.cn"});
        // The space is percent-encoded, so both pages may open.
        QCOMPARE(urls.size(), std::size_t{2});
        QVERIFY(ui::filterwin::bookingUrls("not a url", {"ok.cn"}).empty());
    }
};

int runLogicTests(int argc, char** argv) {
    FilterLogicTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "filter_logic_test.moc"
