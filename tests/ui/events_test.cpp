// User actions reach the model's events, and the model's changes reach the
// widgets at once. A bare model with the test's own handlers: nothing else runs.
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "ui/control_widgets.h"
#include "ui/model_conversions.h"
#include "ui_test_support.h"

namespace jilan::uitest {

namespace {

struct Press {
    int button, shift, x, y;
    friend bool operator==(const Press&, const Press&) = default;
};

}  // namespace

class EventsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        form_ = std::make_unique<app::Form1>();
        window_ = std::make_unique<ui::MainWindow>(*form_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
        form_.reset();
    }

    void buttonClicksRaiseClick_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Command1", "Command2", "Command3", "Command4", "Command5"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }
    void buttonClicksRaiseClick() {
        QFETCH(QString, name);
        std::map<std::string, int> clicks;
        for (app::Button* b : {&form_->Command1, &form_->Command2, &form_->Command3,
                               &form_->Command4, &form_->Command5}) {
            b->Click.attach([&clicks, b] { ++clicks[b->name()]; });
        }
        QTest::mouseClick(window_->widgetFor(name.toStdString()), Qt::LeftButton);
        QCOMPARE(clicks.size(), std::size_t{1});
        QCOMPARE(clicks[name.toStdString()], 1);
    }

    // A handler's writes show before the handler's click returns to the event loop.
    void handlerWritesShowAtOnce() {
        auto* button = widget<QPushButton>(*window_, "Command1");
        auto* label = widget<QLabel>(*window_, "Label12");
        auto* bar = widget<ui::StatusBarWidget>(*window_, "S1");
        auto* whois = widget<QPlainTextEdit>(*window_, "Text2");
        QString seenInHandler;
        form_->Command1.Click.attach([&] {
            form_->Command1.setCaption(app::kStopCaption);
            form_->Label12.setCaption("是否备案：已备案");
            form_->setStatus("正在采集第1页..");
            form_->Text2.setText("Domain Name: example.cn\r\nRegistrar: x\r\n");
            seenInHandler = button->text();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(seenInHandler, QStringLiteral("停止采集"));
        QCOMPARE(label->text(), QStringLiteral("是否备案：已备案"));
        QCOMPARE(bar->panel(2)->text(), QStringLiteral("正在采集第1页.."));
        QCOMPARE(whois->toPlainText(), QStringLiteral("Domain Name: example.cn\nRegistrar: x\n"));
    }

    void windowOpensWithFocusOnCommand1() {
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QCOMPARE(QApplication::focusWidget(), window_->widgetFor("Command1"));
    }

    void enabledFlagsFollowModel() {
        form_->Command1.setEnabled(false);
        form_->Text1.setEnabled(false);
        QVERIFY(!widget<QPushButton>(*window_, "Command1")->isEnabled());
        QVERIFY(!widget<QLineEdit>(*window_, "Text1")->isEnabled());
        int clicks = 0;
        form_->Command1.Click.attach([&] { ++clicks; });
        QTest::mouseClick(window_->widgetFor("Command1"), Qt::LeftButton);
        QCOMPARE(clicks, 0);
        form_->Command1.setEnabled(true);
        QVERIFY(widget<QPushButton>(*window_, "Command1")->isEnabled());
    }

    void typingIntoText1RaisesChange() {
        std::vector<std::string> seen;
        form_->Text1.Change.attach([&] { seen.push_back(form_->Text1.text()); });
        auto* box = widget<QLineEdit>(*window_, "Text1");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("25"));
        QCOMPARE(form_->Text1.text(), std::string("25"));
        QCOMPARE(seen, (std::vector<std::string>{"2", "25"}));
    }

    void handlerWriteToText1ShowsAndRaisesChangeOnce() {
        int changes = 0;
        form_->Text1.Change.attach([&] { ++changes; });
        form_->Text1.setText("7");
        QCOMPARE(widget<QLineEdit>(*window_, "Text1")->text(), QStringLiteral("7"));
        QCOMPARE(changes, 1);
    }

    // Its right arrow steps the value by one and raises Change; the handler's
    // echo into Text1 reaches that box.
    void scrollBarArrowsRaiseChange() {
        form_->HScroll1.Change.attach(
            [&] { form_->Text1.setText(std::to_string(form_->HScroll1.value())); });
        auto* scroll = widget<QScrollBar>(*window_, "HScroll1");
        const QPoint rightArrow(scroll->width() - 3, scroll->height() / 2);
        const QPoint leftArrow(2, scroll->height() / 2);
        QTest::mouseClick(scroll, Qt::LeftButton, {}, rightArrow);
        QCOMPARE(form_->HScroll1.value(), 1);
        QCOMPARE(widget<QLineEdit>(*window_, "Text1")->text(), QStringLiteral("1"));
        QTest::mouseClick(scroll, Qt::LeftButton, {}, rightArrow);
        QCOMPARE(form_->HScroll1.value(), 2);
        QCOMPARE(widget<QLineEdit>(*window_, "Text1")->text(), QStringLiteral("2"));
        QTest::mouseClick(scroll, Qt::LeftButton, {}, leftArrow);
        QCOMPARE(form_->HScroll1.value(), 1);
    }

    void scrollBarLeftArrowAtZeroChangesNothing() {
        int changes = 0;
        form_->HScroll1.Change.attach([&] { ++changes; });
        auto* scroll = widget<QScrollBar>(*window_, "HScroll1");
        QTest::mouseClick(scroll, Qt::LeftButton, {}, QPoint(2, scroll->height() / 2));
        QCOMPARE(form_->HScroll1.value(), 0);
        QCOMPARE(changes, 0);
    }

    void modelScrollValueShowsWithoutEcho() {
        int changes = 0;
        form_->HScroll1.Change.attach([&] { ++changes; });
        form_->HScroll1.setValue(40);
        QCOMPARE(widget<QScrollBar>(*window_, "HScroll1")->value(), 40);
        QCOMPARE(changes, 1);
    }

    // Button numbers as the model counts them; only the left button selects.
    void listPressesReportButton_data() {
        QTest::addColumn<int>("qtButton");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("indexAfter");
        QTest::newRow("left selects") << int(Qt::LeftButton) << 0 << 1 << 0 << 2;
        QTest::newRow("right keeps selection") << int(Qt::RightButton) << 0 << 2 << 0 << 0;
        QTest::newRow("middle keeps selection") << int(Qt::MiddleButton) << 0 << 4 << 0 << 0;
        QTest::newRow("shift right")
            << int(Qt::RightButton) << int(Qt::ShiftModifier) << 2 << 1 << 0;
        QTest::newRow("ctrl alt right")
            << int(Qt::RightButton) << int(Qt::ControlModifier | Qt::AltModifier) << 2 << 6 << 0;
    }
    void listPressesReportButton() {
        QFETCH(int, qtButton);
        QFETCH(int, modifiers);
        QFETCH(int, number);
        QFETCH(int, shift);
        QFETCH(int, indexAfter);
        for (const char* d : {"a.com", "b.cn", "c.net", "d.org"}) {
            form_->List1.addItem(d);
        }
        form_->List1.setListIndex(0);
        std::vector<Press> presses;
        form_->List1.MouseDown.attach([&](int b, int s, int x, int y) {
            presses.push_back({b, s, x, y});
        });
        auto* list = widget<QListView>(*window_, "List1");
        QTRY_COMPARE(list->model()->rowCount(), 4);
        const QRect row2 = list->visualRect(list->model()->index(2, 0));
        const QPoint at = row2.center();
        QTest::mousePress(list->viewport(), Qt::MouseButton(qtButton),
                          Qt::KeyboardModifiers(modifiers), at);
        QTest::mouseRelease(list->viewport(), Qt::MouseButton(qtButton),
                            Qt::KeyboardModifiers(modifiers), at);
        QCOMPARE(presses.size(), std::size_t{1});
        QCOMPARE(presses[0].button, number);
        QCOMPARE(presses[0].shift, shift);
        QCOMPARE(form_->List1.listIndex(), indexAfter);
        QCOMPARE(list->currentIndex().row(), indexAfter);
    }

    void listPressPositionIsInTwips() {
        form_->List1.addItem("a.com");
        std::vector<Press> presses;
        form_->List1.MouseDown.attach([&](int b, int s, int x, int y) {
            presses.push_back({b, s, x, y});
        });
        auto* list = widget<QListView>(*window_, "List1");
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(10, 5));
        QCOMPARE(presses.size(), std::size_t{1});
        QCOMPARE(presses[0], (Press{2, 0, 150, 75}));
    }

    void listDoubleClickRaisesDblClickOnce() {
        form_->List1.addItem("a.com");
        form_->List1.addItem("b.cn");
        int doubles = 0;
        int selectedAtDouble = -2;
        form_->List1.DblClick.attach([&] {
            ++doubles;
            selectedAtDouble = form_->List1.listIndex();
        });
        std::vector<Press> presses;
        form_->List1.MouseDown.attach([&](int b, int s, int x, int y) {
            presses.push_back({b, s, x, y});
        });
        auto* list = widget<QListView>(*window_, "List1");
        QTRY_COMPARE(list->model()->rowCount(), 2);
        const QPoint at = list->visualRect(list->model()->index(1, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(doubles, 1);
        QCOMPARE(selectedAtDouble, 1);
        QCOMPARE(presses.size(), std::size_t{1});
        QTest::mouseDClick(list->viewport(), Qt::RightButton, {}, at);
        QCOMPARE(doubles, 1);
    }

    void keyboardSelectionReachesModel() {
        for (const char* d : {"a.com", "b.cn", "c.net"}) {
            form_->List1.addItem(d);
        }
        auto* list = widget<QListView>(*window_, "List1");
        QTRY_COMPARE(list->model()->rowCount(), 3);
        form_->List1.setListIndex(0);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(form_->List1.listIndex(), 1);
        QCOMPARE(form_->List1.text(), std::string("b.cn"));
    }

    // Keyboard reach: Enter on a focused button presses it; a disabled one stays still.
    void enterOnAFocusedButtonPressesIt_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Return on Command1")
            << QStringLiteral("Command1") << int(Qt::Key_Return) << true << 1;
        QTest::newRow("keypad Enter on Command5")
            << QStringLiteral("Command5") << int(Qt::Key_Enter) << true << 1;
        QTest::newRow("Return on a disabled button")
            << QStringLiteral("Command1") << int(Qt::Key_Return) << false << 0;
        QTest::newRow("Space still works")
            << QStringLiteral("Command3") << int(Qt::Key_Space) << true << 1;
    }
    void enterOnAFocusedButtonPressesIt() {
        QFETCH(QString, name);
        QFETCH(int, key);
        QFETCH(bool, enabled);
        QFETCH(int, clicks);
        auto* button = static_cast<app::Button*>(form_->find(name.toStdString()));
        QVERIFY(button != nullptr);
        button->setEnabled(enabled);
        int clicked = 0;
        button->Click.attach([&clicked] { ++clicked; });
        QWidget* w = window_->widgetFor(name.toStdString());
        w->setFocus();
        QTest::keyClick(w, Qt::Key(key));
        QCOMPARE(clicked, clicks);
    }

    // In the list, Enter runs the double-click query and the Menu key or Shift+F10 report a
    // right press (which opens the popup on the selection); other keys only move.
    void listKeysReachTheQueryAndThePopup_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("doubles");
        QTest::addColumn<int>("rightPresses");
        QTest::newRow("Return") << int(Qt::Key_Return) << 0 << 1 << 0;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1 << 0;
        QTest::newRow("Menu key") << int(Qt::Key_Menu) << 0 << 0 << 1;
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << 0 << 1;
        QTest::newRow("F10 alone") << int(Qt::Key_F10) << 0 << 0 << 0;
        QTest::newRow("Down") << int(Qt::Key_Down) << 0 << 0 << 0;
    }
    void listKeysReachTheQueryAndThePopup() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, doubles);
        QFETCH(int, rightPresses);
        for (const char* d : {"a.com", "b.cn", "c.net"}) {
            form_->List1.addItem(d);
        }
        auto* list = widget<QListView>(*window_, "List1");
        QTRY_COMPARE(list->model()->rowCount(), 3);
        form_->List1.setListIndex(1);
        int doubled = 0;
        form_->List1.DblClick.attach([&doubled] { ++doubled; });
        int rights = 0;
        int selectedAtPress = -2;
        form_->List1.MouseDown.attach([&](int b, int, int, int) {
            if (b == static_cast<int>(app::MouseButton::Right)) {
                ++rights;
                selectedAtPress = form_->List1.listIndex();
            }
        });
        list->setFocus();
        QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(doubled, doubles);
        QCOMPARE(rights, rightPresses);
        if (rightPresses > 0) {
            QCOMPARE(selectedAtPress, 1);
        }
    }

    void modelSelectionAndClearShowInList() {
        auto* list = widget<QListView>(*window_, "List1");
        for (const char* d : {"a.com", "b.cn", "c.net"}) {
            form_->List1.addItem(d);
        }
        // Selecting an entry not yet shown selects its row as soon as the
        // batched insert brings it in, in the same turn of the event loop.
        form_->List1.setListIndex(2);
        QTRY_COMPARE(list->model()->rowCount(), 3);
        QTRY_COMPARE(list->currentIndex().row(), 2);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
        form_->List1.setListIndex(-1);
        QVERIFY(list->selectionModel()->selectedRows().isEmpty());
        form_->List1.setListIndex(1);
        form_->List1.clear();
        QCOMPARE(list->model()->rowCount(), 0);
        QVERIFY(list->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(form_->List1.listIndex(), -1);
    }

    void timerFollowsEnabledFlagAndTicks() {
        int ticks = 0;
        form_->Timer1.Timer.attach([&] { ++ticks; });
        const QTimer& timer = window_->harvestTimer();
        QCOMPARE(timer.objectName(), QStringLiteral("Timer1"));
        QVERIFY(!timer.isActive());
        form_->Timer1.setEnabled(true);
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 1);
        QTRY_VERIFY(ticks >= 3);
        form_->Timer1.setEnabled(false);
        QVERIFY(!timer.isActive());
        const int stopped = ticks;
        QTest::qWait(30);
        QCOMPARE(ticks, stopped);
    }

    void endingStopsTheTimer() {
        form_->Timer1.setEnabled(true);
        QVERIFY(window_->harvestTimer().isActive());
        form_->end();
        QVERIFY(!window_->harvestTimer().isActive());
    }

    // The close box asks the model; a handler that cancels keeps the window.
    void closeBoxAsksModelEveryTime() {
        int asked = 0;
        form_->QueryUnload.attach([&](int& cancel, int) {
            ++asked;
            cancel = 1;
        });
        QVERIFY(!window_->close());
        QVERIFY(window_->isVisible());
        QVERIFY(!window_->close());
        QCOMPARE(asked, 2);
        QVERIFY(!form_->ended());
    }

    void modelOutlivingWindowIsHarmless() {
        window_.reset();
        form_->Command1.setCaption("停止采集");
        form_->List1.addItem("a.com");
        form_->Timer1.setEnabled(true);
        form_->setStatus("x");
        QCOMPARE(form_->Command1.caption(), std::string("停止采集"));
    }

private:
    std::unique_ptr<app::Form1> form_;
    std::unique_ptr<ui::MainWindow> window_;
};

int runEventsTests(int argc, char** argv) {
    EventsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "events_test.moc"
