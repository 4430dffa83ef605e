// The real Qt platform: its dialogs driven the way a user would, on the
// offscreen platform; only the browser launch is kept from leaving the test.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "ui/app_icon.h"
#include "ui/model_conversions.h"
#include "ui/qt_platform.h"
#include "ui/reminder_notifier.h"
#include "ui/translations.h"
#include "ui_test_support.h"

namespace jilan::uitest {

namespace {

using jilan::testing::NoBrowserPlatform;

// Types the name into the dialog's name line as a user would. (QFileDialog::selectFile leaves
// the line alone once it has the focus, so a test using it depends on when the dialog got it.)
void typeFileName(QFileDialog* dialog, const QString& name) {
    auto* line = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(line != nullptr);
    line->setText(name);
}

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nameFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("the export's filter")
            << QStringLiteral("文本文件|*.txt") << QStringLiteral("文本文件 (*.txt)");
        QTest::newRow("two entries") << QStringLiteral("文本文件|*.txt|所有文件|*.*")
                                     << QStringLiteral("文本文件 (*.txt);;所有文件 (*.*)");
        QTest::newRow("several patterns")
            << QStringLiteral("Text|*.txt;*.log") << QStringLiteral("Text (*.txt *.log)");
        QTest::newRow("patterns named once") << QStringLiteral("Excel 工作簿 (*.xlsx)|*.xlsx")
                                             << QStringLiteral("Excel 工作簿 (*.xlsx)");
        QTest::newRow("description only")
            << QStringLiteral("Anything") << QStringLiteral("Anything (*)");
        QTest::newRow("empty") << QString() << QString();
    }
    void nameFilters() {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(ui::qtNameFilter(filter.toStdString()), qt);
    }

    void browsableUrls_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opens");
        QTest::newRow("http") << QStringLiteral("http://127.0.0.1:18080/vendor/forum") << true;
        QTest::newRow("https") << QStringLiteral("https://example.com/booking?d=a.cn") << true;
        QTest::newRow("upper-case scheme") << QStringLiteral("HTTP://example.com/") << true;
        QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false;
        QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
        QTest::newRow("shell text") << QStringLiteral("explorer.exe http://a.com") << false;
        QTest::newRow("relative") << QStringLiteral("/vendor/forum") << false;
        QTest::newRow("no host") << QStringLiteral("http://") << false;
        QTest::newRow("space inside") << QStringLiteral("http://a.com/x y") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void browsableUrls() {
        QFETCH(QString, url);
        QFETCH(bool, opens);
        NoBrowserPlatform platform;
        QCOMPARE(platform.openUrl(url.toStdString()), opens);
        QCOMPARE(platform.launched.size(), std::size_t(opens ? 1 : 0));
        if (opens) {
            QCOMPARE(
                QUrl(QString::fromStdString(platform.launched.front())).scheme().toLower().left(4),
                QStringLiteral("http"));
        }
    }

    void messageBoxAnswers_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");
        const int question = int(app::MessageButtons::YesNoCancel);
        const int notice = int(app::MessageButtons::Ok);
        QTest::newRow("Escape is Cancel")
            << question << "escape" << int(app::MessageAnswer::Cancel);
        QTest::newRow("Enter takes Yes, the default")
            << question << "enter" << int(app::MessageAnswer::Yes);
        QTest::newRow("No button") << question << "No" << int(app::MessageAnswer::No);
        QTest::newRow("Cancel button") << question << "Cancel" << int(app::MessageAnswer::Cancel);
        QTest::newRow("Yes button") << question << "Yes" << int(app::MessageAnswer::Yes);
        QTest::newRow("closed by its close box")
            << question << "close" << int(app::MessageAnswer::Cancel);
        QTest::newRow("notice Enter") << notice << "enter" << int(app::MessageAnswer::Ok);
        QTest::newRow("notice Escape") << notice << "escape" << int(app::MessageAnswer::Ok);
    }
    void messageBoxAnswers() {
        QFETCH(int, buttons);
        QFETCH(QString, action);
        QFETCH(int, answer);
        ui::QtPlatform platform;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QMessageBox::StandardButton> shown;
        WhenShown respond([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr) {
                return;
            }
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons()) {
                shown.push_back(box->standardButton(b));
            }
            if (action == QStringLiteral("escape")) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else if (action == QStringLiteral("enter")) {
                QTest::keyClick(box, Qt::Key_Return);
            } else if (action == QStringLiteral("close")) {
                box->close();
            } else {
                const auto which = action == QStringLiteral("Yes")  ? QMessageBox::Yes
                                   : action == QStringLiteral("No") ? QMessageBox::No
                                                                    : QMessageBox::Cancel;
                box->button(which)->click();
            }
        });
        const app::MessageAnswer got =
            platform.messageBox("感谢!\r \r是否退出?", app::kMessageTitle,
                                app::MessageButtons(buttons), app::MessageIcon::Information);
        QVERIFY(respond.done());
        QCOMPARE(int(got), answer);
        QCOMPARE(title, QStringLiteral("霁岚系列软件"));
        QCOMPARE(text, QStringLiteral("感谢!\n \n是否退出?"));
        QCOMPARE(icon, QMessageBox::Information);
        std::sort(shown.begin(), shown.end());
        if (buttons == int(app::MessageButtons::YesNoCancel)) {
            QCOMPARE(shown, (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No,
                                                                QMessageBox::Cancel}));
        } else {
            QCOMPARE(shown, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
        }
    }

    void messageBoxIcon_data() {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("shown");
        QTest::newRow("success and notices inform")
            << int(app::MessageIcon::Information) << int(QMessageBox::Information);
        QTest::newRow("failures warn")
            << int(app::MessageIcon::Warning) << int(QMessageBox::Warning);
    }
    void messageBoxIcon() {
        QFETCH(int, icon);
        QFETCH(int, shown);
        ui::QtPlatform platform;
        QMessageBox::Icon seen = QMessageBox::NoIcon;
        WhenShown respond([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            seen = box->icon();
            QTest::keyClick(box, Qt::Key_Return);
        });
        platform.messageBox("域名保存失败: /x: 权限不足", app::kMessageTitle,
                            app::MessageButtons::Ok, app::MessageIcon(icon));
        QVERIFY(respond.done());
        QCOMPARE(int(seen), shown);
    }

    // Qt's own texts come in Simplified Chinese once its catalogue is installed.
    void standardButtonsSpeakChinese() {
        QTranslator translator;
        QVERIFY(ui::installQtChinese(translator));
        ui::QtPlatform platform;
        QStringList labels;
        WhenShown respond([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            for (auto which : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
                labels.push_back(box->button(which)->text().remove(QLatin1Char('&')));
            }
            QTest::keyClick(box, Qt::Key_Escape);
        });
        platform.messageBox("?", app::kMessageTitle, app::MessageButtons::YesNoCancel,
                            app::MessageIcon::Information);
        QCoreApplication::removeTranslator(&translator);
        QVERIFY(respond.done());
        QCOMPARE(labels.size(), 3);
        QVERIFY2(labels[0].startsWith(QStringLiteral("是")), qPrintable(labels[0]));
        QVERIFY2(labels[1].startsWith(QStringLiteral("否")), qPrintable(labels[1]));
        QVERIFY2(labels[2].startsWith(QStringLiteral("取消")), qPrintable(labels[2]));
    }

    void clipboardRoundTrip() {
        ui::QtPlatform platform;
        QVERIFY(platform.setClipboardText("例子.cn"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("例子.cn"));
        QVERIFY(platform.clearClipboard());
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void popupShowsItemsAndRaisesChosenClick_data() {
        QTest::addColumn<int>("downPresses");
        QTest::addColumn<QString>("clicked");
        QTest::newRow("first entry") << 1 << QStringLiteral("fz");
        QTest::newRow("across a separator") << 2 << QStringLiteral("cx");
        QTest::newRow("last entry") << 3 << QStringLiteral("ydym");
        QTest::newRow("dismissed") << 0 << QString();
    }
    void popupShowsItemsAndRaisesChosenClick() {
        QFETCH(int, downPresses);
        QFETCH(QString, clicked);
        app::Form1 form;
        std::vector<std::string> clicks;
        for (app::MenuItem* item : {&form.fz, &form.cx, &form.ydym, &form.x1, &form.x2}) {
            item->Click.attach([&clicks, item] { clicks.push_back(item->name()); });
        }
        ui::QtPlatform platform;
        QStringList entries;
        WhenShown respond([&](QWidget* w) {
            auto* menu = qobject_cast<QMenu*>(w);
            for (const QAction* a : menu->actions()) {
                entries.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
            }
            for (int i = 0; i < downPresses; ++i) {
                QTest::keyClick(menu, Qt::Key_Down);
            }
            QTest::keyClick(menu, downPresses == 0 ? Qt::Key_Escape : Qt::Key_Return);
        });
        platform.popupMenu(form.cxcd);
        QVERIFY(respond.done());
        QCOMPARE(entries, (QStringList{QStringLiteral("复制域名"), QStringLiteral("-"),
                                       QStringLiteral("查询信息"), QStringLiteral("-"),
                                       QStringLiteral("预定域名")}));
        if (clicked.isEmpty()) {
            QVERIFY(clicks.empty());
        } else {
            QCOMPARE(clicks, std::vector<std::string>{clicked.toStdString()});
        }
    }

    void saveDialog_data() {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        const QString name = QStringLiteral("今日.txt");
        QTest::newRow("a name is chosen") << true << name << name;
        QTest::newRow("a name without extension gets .txt")
            << true << QStringLiteral("今日") << name;
        QTest::newRow("another extension is kept")
            << true << QStringLiteral("今日.csv") << QStringLiteral("今日.csv");
        QTest::newRow("cancelled") << false << name << name;
    }
    void saveDialog() {
        QFETCH(bool, accept);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString chosen = dir.filePath(typed);
        ui::QtPlatform platform;
        QString title;
        QStringList filters;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        QString offered;
        WhenShown respond([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            mode = dialog->acceptMode();
            offered = dialog->selectedFiles().value(0);
            if (accept) {
                typeFileName(dialog, chosen);
                static_cast<QDialog*>(dialog)->accept();
            } else {
                dialog->reject();
            }
        });
        const auto result =
            platform.saveFileDialog("请选择要保存的路径", "文本文件|*.txt",
                                    dir.filePath(QStringLiteral("上次.txt")).toStdString());
        QVERIFY(respond.done());
        QCOMPARE(title, QStringLiteral("请选择要保存的路径"));
        QCOMPARE(filters, QStringList{QStringLiteral("文本文件 (*.txt)")});
        QCOMPARE(mode, QFileDialog::AcceptSave);
        QCOMPARE(offered, dir.filePath(QStringLiteral("上次.txt")));
        if (accept) {
            QVERIFY(result.has_value());
            QCOMPARE(QString::fromStdString(*result), dir.filePath(saved));
        } else {
            QVERIFY(!result.has_value());
        }
    }

    // The ticker calls back from the event loop until stopped; a call may stop it, and a
    // new start replaces the call.
    void tickerRunsUntilStopped() {
        ui::QtPlatform platform;
        int first = 0;
        int second = 0;
        platform.startTicker([&] { ++first; }, 1);
        QTRY_VERIFY(first >= 2);
        platform.startTicker(
            [&] {
                if (++second == 3) {
                    platform.stopTicker();
                }
            },
            1);
        const int firstAtReplace = first;
        QTRY_VERIFY(!platform.tickerRunning());
        QCOMPARE(second, 3);
        QCOMPARE(first, firstAtReplace);
    }

    // Before a blocking wait the window is painted at once (no event runs) and the wait
    // cursor shows until the wait ends; nested waits restore it once.
    void blockingWaitPaintsAndShowsTheWaitCursor() {
        app::Form1 form;
        ui::MainWindow window(form);
        ui::QtPlatform platform;
        platform.setWindow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* status = window.widgetFor("S1");
        QVERIFY(status != nullptr);
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) {
                    ++paints;
                }
                return false;
            }
        } counter;
        status->installEventFilter(&counter);
        form.setStatus("正在进行查询 ..");
        const int before = counter.paints;
        platform.blockingStarted();
        QVERIFY(counter.paints > before);
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        platform.blockingStarted();
        platform.blockingEnded();
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        platform.blockingEnded();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        status->removeEventFilter(&counter);
    }

    // With several filters the answer says which one was chosen, and a name typed without an
    // extension gets the chosen filter's.
    void saveDialogReportsTheChosenFilter_data() {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<int>("down");  // presses of the down key in the filter list
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        const QString txt = QStringLiteral("x.txt");
        QTest::newRow("first filter, bare name") << txt << 0 << 0 << "今日"
                                                 << "今日.txt";
        QTest::newRow("second filter, bare name") << txt << 1 << 1 << "今日"
                                                  << "今日.csv";
        QTest::newRow("third filter, bare name") << txt << 2 << 2 << "今日"
                                                 << "今日.xlsx";
        QTest::newRow("typed extension kept, filter still said") << txt << 1 << 1 << "今日.txt"
                                                                 << "今日.txt";
        QTest::newRow("starts on the offered name's filter")
            << QStringLiteral("筛选结果.XLSX") << 0 << 2 << "今日"
            << "今日.xlsx";
        QTest::newRow("from the offered name's filter, one down")
            << QStringLiteral("a.csv") << 1 << 2 << "今日"
            << "今日.xlsx";
    }
    void saveDialogReportsTheChosenFilter() {
        QFETCH(QString, offered);
        QFETCH(int, down);
        QFETCH(int, chosen);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ui::QtPlatform platform;
        WhenShown respond([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            // The user picks the filter in the dialog's list, as with the keyboard.
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types != nullptr);
            types->setFocus();
            for (int i = 0; i < down; ++i) {
                QTest::keyClick(types, Qt::Key_Down);
            }
            typeFileName(dialog, dir.filePath(typed));
            static_cast<QDialog*>(dialog)->accept();
        });
        const auto answer =
            platform.saveFileQuestion("导出", "文本文件|*.txt|CSV 表格|*.csv|Excel 工作簿|*.xlsx",
                                      dir.filePath(offered).toStdString());
        QVERIFY(respond.done());
        QVERIFY(answer.has_value());
        QCOMPARE(QString::fromStdString(answer->path), dir.filePath(saved));
        QCOMPARE(answer->filterIndex, static_cast<std::size_t>(chosen));
    }

    void defaultSuffixComesFromTheFirstPattern_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("the export's filter") << QStringLiteral("文本文件|*.txt") << "txt";
        QTest::newRow("first of several") << QStringLiteral("表格|*.csv;*.txt") << "csv";
        QTest::newRow("any file names none") << QStringLiteral("所有文件|*.*") << "";
        QTest::newRow("description only") << QStringLiteral("Anything") << "";
    }
    void defaultSuffixComesFromTheFirstPattern() {
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        QCOMPARE(ui::defaultSuffixOf(filter.toStdString()), suffix);
    }

    void defaultSuffixOfAChosenEntry_data() {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("first") << 0 << "txt";
        QTest::newRow("middle, first of its patterns") << 1 << "csv";
        QTest::newRow("any file names none") << 2 << "";
        QTest::newRow("past the last entry") << 3 << "";
    }
    void defaultSuffixOfAChosenEntry() {
        QFETCH(int, entry);
        QFETCH(QString, suffix);
        QCOMPARE(ui::defaultSuffixOf("文本|*.txt|表格|*.csv;*.tsv|所有文件|*.*",
                                     static_cast<std::size_t>(entry)),
                 suffix);
    }

    void programFolderIsTheExecutablesFolder() {
        ui::QtPlatform platform;
        QCOMPARE(QString::fromStdString(platform.programFolder()),
                 QCoreApplication::applicationDirPath());
    }

    void skinAppliesToWindowWhenItComes() {
        app::Form1 form;
        ui::MainWindow window(form);
        ui::QtPlatform platform;
        const std::string sheet = "QPushButton { color: rgb(1, 2, 3); }";
        platform.applySkin(sheet);
        QCOMPARE(window.styleSheet(), QString());
        platform.setWindow(&window);
        QCOMPARE(window.styleSheet(), QString::fromStdString(sheet));
        platform.applySkin("");
        QCOMPARE(window.styleSheet(), QString());
    }

    // The real end: every loop returns, the main loop with 0, the window goes.
    void endProgramLeavesNestedLoopsAndMainLoopWithZero() {
        app::Form1 form;
        ui::MainWindow window(form);
        ui::QtPlatform platform;
        platform.setWindow(&window);
        window.show();
        int nestedResult = -2;
        QTimer::singleShot(0, [&] {
            QEventLoop nested;  // as a message box or a popup would run
            QTimer::singleShot(0, [&] { platform.endProgram(); });
            nestedResult = nested.exec();
        });
        const int mainResult = QApplication::exec();
        QCOMPARE(nestedResult, 0);
        QCOMPARE(mainResult, 0);
        QVERIFY(platform.ended());
        QVERIFY(!window.isVisible());
    }

    void iconIsPaintedAtEverySize_data() {
        QTest::addColumn<int>("size");
        for (int size : {16, 32, 48, 256}) {
            QTest::newRow(qPrintable(QString::number(size))) << size;
        }
    }
    void iconIsPaintedAtEverySize() {
        QFETCH(int, size);
        const QImage icon = ui::paintAppIcon(size);
        QCOMPARE(icon.size(), QSize(size, size));
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);  // rounded corners stay clear
        QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        QSet<QRgb> colours;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                colours.insert(icon.pixel(x, y));
            }
        }
        QVERIFY(colours.size() >= 5);
        QVERIFY(ui::appIcon().availableSizes().contains(QSize(size, size)));
    }

    // The reminders' store read runs off the window's thread, one at a time: ticks while it runs
    // start no second one; what it claimed is shown on the window's thread; a notifier torn down
    // in the middle of a read waits for it and shows nothing.
    void reminderNotifierReadsOffTheWindowThreadOneAtATime() {
        struct Recording : NoBrowserPlatform {
            std::vector<std::string> shown;
            std::thread::id shownOn;
            bool notifyDesktop(const std::string&, const std::string& body) override {
                shown.push_back(body);
                shownOn = std::this_thread::get_id();
                return true;
            }
        };
        for (const bool tornDownMidRead : {false, true}) {
            Recording platform;
            std::mutex m;
            std::condition_variable cv;
            bool release = false;
            std::atomic<int> reads{0};
            std::atomic<bool> readOnWindowThread{false};
            const std::thread::id windowThread = std::this_thread::get_id();
            auto notifier = std::make_unique<ui::ReminderNotifier>(
                platform,
                [&] {
                    ++reads;
                    readOnWindowThread =
                        readOnWindowThread || std::this_thread::get_id() == windowThread;
                    std::unique_lock lock(m);
                    cv.wait(lock, [&] { return release; });
                    return watchlist::WindowClaim{{{"霁岚 关注提醒", "⏰ a.com"}}, ""};
                },
                5);
            notifier->start();
            QTest::qWait(60);  // a dozen ticks while the first read waits
            QCOMPARE(reads.load(), 1);
            QVERIFY(platform.shown.empty());
            {
                const std::lock_guard lock(m);
                release = true;
            }
            cv.notify_all();
            if (tornDownMidRead) {
                notifier.reset();
                QTest::qWait(20);
                QVERIFY(platform.shown.empty());
            } else {
                QTRY_VERIFY(!platform.shown.empty());
                QCOMPARE(platform.shown.front(), std::string("⏰ a.com"));
                QVERIFY(platform.shownOn == windowThread);
            }
            QVERIFY(!readOnWindowThread);
        }
    }

private:
};

int runPlatformTests(int argc, char** argv) {
    PlatformTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "platform_test.moc"
