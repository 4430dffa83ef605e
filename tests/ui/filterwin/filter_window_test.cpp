// The "域名筛选" window as a user drives it: Ctrl+F, typing a filter, toggles, presets,
// export, copy, booking, double-click and closing.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <fstream>

#include "export/domain_table.h"
#include "filter/score.h"
#include "filterwin_support.h"
#include "history/recorder.h"
#include "market_sim.h"
#include "ui/desktop_program.h"
#include "ui/filterwin/domain_filter_window.h"

namespace jilan::filterwintest {

namespace {

const std::vector<std::string> kNames = {"8888.com", "abc.cn", "lanshan.com",
                                         "a-1.com",  "66.cn",  "zhongguo.com"};

QString countText(ui::filterwin::DomainFilterWindow& window) {
    return window.findChild<QLabel*>(QStringLiteral("countLabel"))->text();
}

void typeFilter(ui::filterwin::DomainFilterWindow& window, const QString& text) {
    QLineEdit* edit = window.findChild<QLineEdit*>(QStringLiteral("filterEdit"));
    edit->clear();
    const bool latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (latin1) {
        QTest::keyClicks(edit, text);
    } else {
        edit->insert(text);  // as an input method commits it
    }
}

QStringList shownNames(ui::filterwin::DomainFilterWindow& window) {
    QStringList names;
    for (int row = 0; row < window.model().rowCount(); ++row) {
        names << QString::fromStdString(window.model().rowAt(row).domain);
    }
    return names;
}

std::string readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every drawn control of the main window: name, place, caption, state.
QStringList mainWindowState(QWidget& main) {
    QStringList state;
    for (QWidget* w : main.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty()) {
            continue;
        }
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->text();
        }
        const QRect g = w->geometry();
        state << QStringLiteral("%1 %2,%3 %4x%5 %6 %7")
                     .arg(w->objectName())
                     .arg(g.x())
                     .arg(g.y())
                     .arg(g.width())
                     .arg(g.height())
                     .arg(text)
                     .arg(w->isEnabled() ? 1 : 0);
    }
    state.sort();
    return state;
}

}  // namespace

class FilterWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ctrlFOpensTheWindowAndLeavesTheMainWindowAsItWas() {
        ui::DesktopProgram desktop{program::AppOptions{}};
        desktop.window().show();
        desktop.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&desktop.window()));
        const QStringList before = mainWindowState(desktop.window());
        const QSize size = desktop.window().size();
        QCOMPARE(desktop.window().widgetFor("List1")->toolTip(),
                 QStringLiteral("双击查看信息，Ctrl+F 筛选与批量查询"));

        QVERIFY(desktop.filterWindow() == nullptr);
        QTest::keyClick(&desktop.window(), Qt::Key_F, Qt::ControlModifier);
        ui::filterwin::DomainFilterWindow* window = desktop.filterWindow();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("域名筛选"));
        QTRY_VERIFY(window->findChild<QLineEdit*>(QStringLiteral("filterEdit"))->hasFocus());

        // A second Ctrl+F raises the same window.
        window->close();
        QVERIFY(!window->isVisible());
        desktop.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&desktop.window()));
        QTest::keyClick(&desktop.window(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(desktop.filterWindow(), window);
        QVERIFY(window->isVisible());

        QCOMPARE(mainWindowState(desktop.window()), before);
        QCOMPARE(desktop.window().size(), size);
    }

    void typingFiltersAndTheCountFollows_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("count");
        QTest::newRow("nothing typed") << QString() << QStringLiteral("显示 6 / 6");
        QTest::newRow("length") << QStringLiteral("len<=3") << QStringLiteral("显示 3 / 6");
        QTest::newRow("class and suffix")
            << QStringLiteral("纯数字 tld=cn") << QStringLiteral("显示 1 / 6");
        QTest::newRow("pinyin") << QStringLiteral("双拼") << QStringLiteral("显示 2 / 6");
    }
    void typingFiltersAndTheCountFollows() {
        QFETCH(QString, expression);
        QFETCH(QString, count);
        Fixture f;
        f.addNames(kNames);
        typeFilter(f.window, expression);
        QTRY_COMPARE(countText(f.window), count);
    }

    void malformedLineShowsItsErrorAndKeepsTheRows() {
        Fixture f;
        f.addNames(kNames);
        typeFilter(f.window, QStringLiteral("len<=3"));
        QTRY_COMPARE(countText(f.window), QStringLiteral("显示 3 / 6"));
        const QStringList before = shownNames(f.window);

        typeFilter(f.window, QStringLiteral("len<=3 lenx<=5"));
        auto* error = f.window.findChild<QLabel*>(QStringLiteral("filterError"));
        const auto refused = filter::Filter::compile("len<=3 lenx<=5");
        QVERIFY(std::holds_alternative<filter::FilterError>(refused));
        QTRY_COMPARE(error->text(),
                     QString::fromStdString(std::get<filter::FilterError>(refused).message));
        QCOMPARE(shownNames(f.window), before);

        typeFilter(f.window, QStringLiteral("len<=4"));
        QTRY_COMPARE(countText(f.window), QStringLiteral("显示 4 / 6"));
        QCOMPARE(error->text(), QString());
    }

    void togglesCombineWithTheLine_data() {
        QTest::addColumn<QStringList>("toggles");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("a class toggle alone")
            << texts({"toggle_digits"}) << QString() << texts({"8888.com", "66.cn"});
        QTest::newRow("two classes are alternatives")
            << texts({"toggle_digits", "toggle_letters"}) << QStringLiteral("len<=3")
            << texts({"abc.cn", "66.cn"});
        QTest::newRow("toggle and line must both hold")
            << texts({"toggle_two"}) << QStringLiteral("tld=com")
            << texts({"lanshan.com", "zhongguo.com"});
        QTest::newRow("suffix box")
            << texts({"suffix_cn"}) << QStringLiteral("纯数字") << texts({"66.cn"});
    }
    void togglesCombineWithTheLine() {
        QFETCH(QStringList, toggles);
        QFETCH(QString, line);
        QFETCH(QStringList, shown);
        Fixture f;
        f.addNames(kNames);
        QTRY_VERIFY(f.window.findChild<QCheckBox*>(QStringLiteral("suffix_cn")) != nullptr);
        for (const QString& name : toggles) {
            f.window.findChild<QCheckBox*>(name)->click();
        }
        typeFilter(f.window, line);
        QTRY_COMPARE(shownNames(f.window), shown);
    }

    void presetBringsBackLineAndToggles() {
        Fixture f;
        f.addNames(kNames);
        auto* presets = f.window.findChild<QComboBox*>(QStringLiteral("presetBox"));
        typeFilter(f.window, QStringLiteral("len<=7"));
        f.window.findChild<QCheckBox*>(QStringLiteral("toggle_two"))->click();
        presets->setEditText(QStringLiteral("短双拼"));
        f.window.findChild<QPushButton*>(QStringLiteral("savePreset"))->click();
        QTRY_COMPARE(shownNames(f.window), texts({"lanshan.com"}));

        typeFilter(f.window, QString());
        f.window.findChild<QCheckBox*>(QStringLiteral("toggle_two"))->click();
        QTRY_COMPARE(countText(f.window), QStringLiteral("显示 6 / 6"));

        // Another window (a later start) finds the preset in the settings.
        Fixture later;
        later.addNames(kNames);
        auto* saved = later.window.findChild<QComboBox*>(QStringLiteral("presetBox"));
        const int index = saved->findText(QStringLiteral("短双拼"));
        QVERIFY(index >= 0);
        saved->setCurrentIndex(index);
        Q_EMIT saved->activated(index);
        QCOMPARE(later.window.findChild<QLineEdit*>(QStringLiteral("filterEdit"))->text(),
                 QStringLiteral("len<=7"));
        QVERIFY(later.window.findChild<QCheckBox*>(QStringLiteral("toggle_two"))->isChecked());
        QTRY_COMPARE(shownNames(later.window), texts({"lanshan.com"}));
    }

    void overwritingAPresetAsksAndSavesWhatWasTyped() {
        Fixture f;
        f.addNames(kNames);
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* presets = f.window.findChild<QComboBox*>(QStringLiteral("presetBox"));
        auto* save = f.window.findChild<QPushButton*>(QStringLiteral("savePreset"));
        auto* line = f.window.findChild<QLineEdit*>(QStringLiteral("filterEdit"));
        const QString name = QStringLiteral("短位com");
        typeFilter(f.window, QStringLiteral("len<=2"));
        presets->setEditText(name);
        save->click();

        // The name typed again by hand, then the button: focus leaves the box on the way.
        typeFilter(f.window, QStringLiteral("len<=4"));
        presets->lineEdit()->setFocus();
        presets->lineEdit()->clear();
        presets->lineEdit()->insert(name);
        f.platform.answers.push_back(app::MessageAnswer::Yes);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(line->text(), QStringLiteral("len<=4"));
        QCOMPARE(f.platform.messages.size(), std::size_t{1});
        QVERIFY(f.platform.answers.empty());

        // Declining keeps the saved preset and the line.
        typeFilter(f.window, QStringLiteral("len<=9"));
        f.platform.answers.push_back(app::MessageAnswer::No);
        save->click();
        QCOMPARE(line->text(), QStringLiteral("len<=9"));

        Fixture later;
        auto* saved = later.window.findChild<QComboBox*>(QStringLiteral("presetBox"));
        const int index = saved->findText(name);
        QVERIFY(index >= 0);
        Q_EMIT saved->activated(index);
        QCOMPARE(later.window.findChild<QLineEdit*>(QStringLiteral("filterEdit"))->text(),
                 QStringLiteral("len<=4"));
    }

    void longMistakeNeverWidensTheWindow() {
        Fixture f;
        f.addNames(kNames);
        f.window.open();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const int width = f.window.width();
        const QString mistake = QStringLiteral("len<=3 x") + QString(120, QLatin1Char('y'));
        typeFilter(f.window, mistake);
        f.window.filterBar().applyNow();
        QTRY_VERIFY(!f.window.filterBar().error().isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(f.window.width(), width);
        QVERIFY(f.window.minimumSizeHint().width() <= width);
        // The whole error stays readable as the tooltip.
        QCOMPARE(f.window.findChild<QLabel*>(QStringLiteral("filterError"))->toolTip(),
                 f.window.filterBar().error());
    }

    void tabLeavesTheTableAndEscHides() {
        Fixture f;
        f.addNames(kNames);
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QTableView& table = f.window.table();
        table.setFocus();
        table.setCurrentIndex(f.window.model().index(0, 0));
        QTRY_VERIFY(table.hasFocus());
        QTest::keyClick(&table, Qt::Key_Tab);
        QTRY_VERIFY(!table.hasFocus());
        // The next stop is the pane under the table, then the buttons.
        QCOMPARE(QApplication::focusWidget(),
                 f.window.findChild<QWidget*>(QStringLiteral("detailsPane")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(qobject_cast<QPushButton*>(QApplication::focusWidget()) != nullptr);

        // Ctrl+F comes back to the line; Esc hides the window with its state.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(f.window.filterBar().edit()->hasFocus());
        QTest::keyClick(&table, Qt::Key_Escape);
        QVERIFY(!f.window.isVisible());
        QCOMPARE(f.window.model().total(), static_cast<int>(kNames.size()));
    }

    void exportWritesTheShownRows_data() {
        // The name typed in the dialog, the filter chosen there (0 TXT, 1 CSV, 2 XLSX) and the
        // file written.
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("file");
        QTest::newRow("txt typed") << QStringLiteral("out.txt") << 0 << QStringLiteral("out.txt");
        QTest::newRow("csv typed, TXT chosen: the extension wins")
            << QStringLiteral("out.csv") << 0 << QStringLiteral("out.csv");
        QTest::newRow("xlsx typed")
            << QStringLiteral("out.xlsx") << 1 << QStringLiteral("out.xlsx");
        QTest::newRow("no extension, CSV chosen")
            << QStringLiteral("out") << 1 << QStringLiteral("out.csv");
        QTest::newRow("no extension, XLSX chosen")
            << QStringLiteral("out") << 2 << QStringLiteral("out.xlsx");
    }
    void exportWritesTheShownRows() {
        QFETCH(QString, typed);
        QFETCH(int, chosen);
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        Fixture f;
        f.addNames(kNames);
        typeFilter(f.window, QStringLiteral("len<=3"));
        QTRY_COMPARE(countText(f.window), QStringLiteral("显示 3 / 6"));
        f.window.model().sort(ui::filterwin::tableIndexOf(ui::filterwin::Column::Domain),
                              Qt::DescendingOrder);
        const QStringList order = shownNames(f.window);
        QCOMPARE(order, (texts({"abc.cn", "a-1.com", "66.cn"})));

        f.platform.saveAnswers.push_back(dir.filePath(typed).toStdString());
        f.platform.saveFilters.push_back(static_cast<std::size_t>(chosen));
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QTest::keyClick(&f.window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.platform.saveDialogs.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(f.platform.saveDialogs[0].title),
                 QStringLiteral("导出筛选结果"));
        QCOMPARE(f.window.findChild<QLabel*>(QStringLiteral("statusLabel"))->text(),
                 QStringLiteral("已导出 3 个域名到 ") + path);

        const std::string bytes = readFile(path);
        if (file.endsWith(QStringLiteral(".txt"))) {
            QCOMPARE(QString::fromStdString(bytes),
                     QStringLiteral("abc.cn\r\na-1.com\r\n66.cn\r\n"));
        } else if (file.endsWith(QStringLiteral(".csv"))) {
            QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
            QCOMPARE(lines.takeLast(), QString());
            QStringList header;
            for (std::string_view h : exporting::captionsOf(exporting::kExportColumns)) {
                header << QString::fromUtf8(h.data(), static_cast<qsizetype>(h.size()));
            }
            QVERIFY(bytes.starts_with("\xEF\xBB\xBF"));  // the BOM; fromUtf8 drops it
            QCOMPARE(lines.takeFirst(), header.join(QLatin1Char(',')));
            QCOMPARE(lines.size(), 3);
            const QStringList lengths = texts({"3", "3", "2"});
            for (int i = 0; i < 3; ++i) {
                const QStringList cells = lines[i].split(QLatin1Char(','));
                QCOMPARE(cells.size(), static_cast<int>(exporting::kExportColumns.size()));
                QCOMPARE(cells[0], order[i]);
                QCOMPARE(cells[1], lengths[i]);  // 长度
                // The table keeps only the value; the export still says how it came about.
                const filter::Score score = filter::scoreName(
                    filter::computeFeatures(order[i].toStdString()), filter::defaultScoreWeights());
                QVERIFY(!score.breakdown.empty());
                QCOMPARE(cells[exporting::placeIn(exporting::kExportColumns,
                                                  exporting::Column::ScoreNote)],
                         QString::fromStdString(score.breakdown));
            }
            QCOMPARE(lines[0].split(QLatin1Char(','))[3], QStringLiteral("纯字母"));
        } else {
            QProcess unzip;
            unzip.start(QStringLiteral("unzip"),
                        {QStringLiteral("-p"), path, QStringLiteral("xl/sharedStrings.xml"),
                         QStringLiteral("xl/worksheets/sheet1.xml")});
            QVERIFY(unzip.waitForFinished());
            const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
            for (const QString& name : order) {
                QVERIFY2(xml.contains(QStringLiteral(">") + name + QStringLiteral("<")),
                         qPrintable(name));
            }
            QVERIFY(xml.contains(QStringLiteral("查询结果")));
            QVERIFY(!xml.contains(QStringLiteral(">lanshan.com<")));
        }
    }

    void exportFailureIsSaidAsTheListExportSaysIt() {
        QTemporaryDir dir;
        Fixture f;
        f.addNames(kNames);
        // A folder where the file should go.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.txt")));
        const QString folder = dir.filePath(QStringLiteral("taken.txt"));
        f.platform.saveAnswers.push_back(folder.toStdString());
        f.window.exportRows();
        QCOMPARE(f.platform.messages.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(f.platform.messages[0].prompt)
                    .startsWith(QStringLiteral("域名保存失败: ") + folder + QStringLiteral(": ")));
        QVERIFY(f.platform.messages[0].icon == app::MessageIcon::Warning);
        QCOMPARE(f.window.findChild<QLabel*>(QStringLiteral("statusLabel"))->text(), QString());
    }

    void copyPutsTheSelectedNamesOnTheClipboard() {
        Fixture f;
        f.addNames(kNames);
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QTableView& table = f.window.table();
        table.selectionModel()->select(f.window.model().index(1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table.selectionModel()->select(f.window.model().index(4, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table.setFocus();
        QTest::keyClick(&table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("abc.cn\n66.cn\n"));
    }

    void bookingAsksAboveTenAndOpensAtMostFifty_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("opened");
        QTest::newRow("ten open without a question") << 10 << 0 << 0 << 10;
        QTest::newRow("eleven, No: none") << 11 << int(app::MessageAnswer::No) << 1 << 0;
        QTest::newRow("sixty, Yes: fifty") << 60 << int(app::MessageAnswer::Yes) << 1 << 50;
    }
    void bookingAsksAboveTenAndOpensAtMostFifty() {
        QFETCH(int, selected);
        QFETCH(int, answer);
        QFETCH(int, questions);
        QFETCH(int, opened);
        config::Urls urls = config::defaultUrls();
        urls.market = "http://market.example";
        Fixture f(urls);
        std::vector<std::string> names;
        for (int i = 0; i < 70; ++i) {
            names.push_back("book" + std::to_string(i) + ".com");
        }
        f.addNames(names);
        for (int row = 0; row < selected; ++row) {
            f.window.table().selectionModel()->select(
                f.window.model().index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        if (answer != 0) {
            f.platform.answers.push_back(app::MessageAnswer(answer));
        }
        f.window.bookSelection();
        QCOMPARE(static_cast<int>(f.platform.messages.size()), questions);
        QCOMPARE(static_cast<int>(f.platform.launched.size()), opened);
        if (opened > 0) {
            QCOMPARE(QString::fromStdString(f.platform.launched.front()),
                     QStringLiteral("http://market.example/backorder/book0.com"));
        }
    }

    void doubleClickRunsTheMainWindowsQuery() {
        sim::MarketSim sim(dayOne());
        QVERIFY(sim.start());
        config::Urls urls = config::defaultUrls();
        urls.market = sim.baseUrl();
        urls.icp = sim.icpBaseUrl();
        Fixture f(urls);
        f.form.Load.raise();
        f.addNames(kNames);
        // Sorted so that the view row differs from the list index.
        f.window.model().sort(ui::filterwin::tableIndexOf(ui::filterwin::Column::Length),
                              Qt::DescendingOrder);
        QCOMPARE(QString::fromStdString(f.window.model().rowAt(0).domain),
                 QStringLiteral("zhongguo.com"));
        f.main.show();
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QTableView& table = f.window.table();
        const QRect cell = table.visualRect(f.window.model().index(0, 0));
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(f.form.List1.listIndex(), 5);
        QTRY_VERIFY([&] {
            for (const sim::RequestRecord& r : sim.requests()) {
                if (r.target == "/backorder/zhongguo.com" && r.isComplete) {
                    return true;
                }
            }
            return false;
        }());
    }

    void closingHidesAndKeepsTheState() {
        Fixture f;
        f.addNames(kNames);
        f.window.show();
        typeFilter(f.window, QStringLiteral("len<=3"));
        QTRY_COMPARE(countText(f.window), QStringLiteral("显示 3 / 6"));
        f.window.close();
        QVERIFY(!f.window.isVisible());
        f.form.List1.addItem("xyz.com");
        f.window.open();
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.window.findChild<QLineEdit*>(QStringLiteral("filterEdit"))->text(),
                 QStringLiteral("len<=3"));
        // The list went on while it was hidden.
        QTRY_COMPARE(countText(f.window), QStringLiteral("显示 4 / 7"));
    }

    void historySourceShowsTheRangeWithNewNamesAndThePane() {
        QTemporaryDir dir;
        const std::string store = dir.filePath(QStringLiteral("history.sqlite3")).toStdString();
        const QDate today = QDate::currentDate();
        const auto at = [&](int daysAgo) {
            return QDateTime(today.addDays(-daysAgo), QTime(12, 0)).toSecsSinceEpoch();
        };
        {
            history::Recorder recorder(history::RecorderOptions{.path = store,
                                                                .store = {},
                                                                .columns = {},
                                                                .featuresVersion = 0,
                                                                .onPageCommitted = {}});
            const auto old = recorder.beginRun(1, at(20));
            recorder.recordPage(old, {"gone.com", "kept.cn"}, at(20));
            const auto recent = recorder.beginRun(1, at(1));
            recorder.recordPage(recent, {"kept.cn", "fresh.com"}, at(1));
            recorder.close();
        }
        Fixture f(config::defaultUrls(), store);
        f.addNames(kNames);
        f.window.setHistoryRange(today.addDays(-6), today);
        f.window.setSource(ui::filterwin::DomainFilterWindow::Source::History);
        // Seen in the range; in order of first sighting.
        QTRY_COMPARE(shownNames(f.window), texts({"kept.cn", "fresh.com"}));
        QCOMPARE(countText(f.window), QStringLiteral("显示 2 / 2"));
        typeFilter(f.window, QStringLiteral("new"));
        QTRY_COMPARE(shownNames(f.window), texts({"fresh.com"}));

        // A name never queried: the pane says a query has begun (no site here answers).
        f.window.activateRow(0);
        auto* pane = f.window.findChild<QPlainTextEdit*>(QStringLiteral("detailsPane"));
        QVERIFY(pane->toPlainText().startsWith(QStringLiteral("fresh.com\n")));
        QCOMPARE(f.form.List1.listIndex(), -1);

        // A queried name: one line per detail, captioned as the export's columns.
        ui::filterwin::DetailCells cells;
        cells.deletionType = "过期删除";
        cells.deletionTime = "2026-12-07 09:00:00";
        cells.filed = "已备案";
        cells.filingNumber = "京ICP备1号";
        cells.bookingPlatform = "青岚预订";
        cells.priceInYuan = "1280";
        cells.result = "成功";
        f.window.model().setDetails("fresh.com", cells);
        f.window.activateRow(0);
        QCOMPARE(pane->toPlainText(),
                 QStringLiteral("fresh.com\n删除类型：过期删除\n删除时间：2026-12-07 09:00:00\n"
                                "预定截止：\n是否备案：已备案\n备案号：京ICP备1号\n"
                                "预定平台：青岚预订\n预定价格：\n折合人民币：1280\n保证金：\n"
                                "查询时间：\n查询结果：成功\n"
                                "评分说明：五位纯字母 18 = 18 × com 1.0 = 18\n"));
    }

    void switchingTheSourceKeepsTheRowsSortedAsTheArrowSays() {
        Fixture f;
        f.addNames(kNames);
        f.window.open();
        QHeaderView* header = f.window.table().horizontalHeader();
        const int length = ui::filterwin::tableIndexOf(ui::filterwin::Column::Length);
        header->setSortIndicator(length, Qt::DescendingOrder);
        const QStringList byLength =
            texts({"zhongguo.com", "lanshan.com", "8888.com", "abc.cn", "a-1.com", "66.cn"});
        QTRY_COMPARE(shownNames(f.window), byLength);
        f.window.setSource(ui::filterwin::DomainFilterWindow::Source::History);
        f.window.setSource(ui::filterwin::DomainFilterWindow::Source::CurrentList);
        QTRY_COMPARE(shownNames(f.window), byLength);
        QCOMPARE(header->sortIndicatorSection(), length);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void clearingTheListEmptiesTheTable() {
        Fixture f;
        f.addNames(kNames);
        f.form.List1.clear();
        QCOMPARE(countText(f.window), QStringLiteral("显示 0 / 0"));
        f.addNames({"again.com"});
        QCOMPARE(countText(f.window), QStringLiteral("显示 1 / 1"));
    }
};

int runWindowTests(int argc, char** argv) {
    FilterWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "filter_window_test.moc"
