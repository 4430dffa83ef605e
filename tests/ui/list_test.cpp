// The domain list as a Qt item model: long lists arrive in few notifications.
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "ui/list_model.h"
#include "ui_test_support.h"

namespace jilan::uitest {

namespace {

std::string domain(int i) {
    return "domain" + std::to_string(i) + ".com";
}

}  // namespace

class ListTest : public QObject {
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

    void hundredThousandEntriesShowAsRows() {
        auto* list = widget<QListView>(*window_, "List1");
        QSignalSpy inserted(list->model(), &QAbstractItemModel::rowsInserted);
        constexpr int kEntries = 100'000;
        for (int i = 0; i < kEntries; ++i) {
            form_->List1.addItem(domain(i));
        }
        QTRY_COMPARE(list->model()->rowCount(), kEntries);
        // Appended in one go, announced in one go.
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(list->model()->index(kEntries - 1, 0).data().toString(),
                 QStringLiteral("domain99999.com"));
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("domain0.com"));
        QVERIFY(list->verticalScrollBar()->maximum() > 0);
        list->scrollToBottom();
        // The first visible row is near the end: the last rows are on screen.
        QTRY_VERIFY(list->indexAt(QPoint(2, 2)).row() > kEntries - 100);
        QCOMPARE(list->visualRect(list->model()->index(kEntries - 1, 0)).isValid(), true);
        QVERIFY(list->viewport()->rect().intersects(
            list->visualRect(list->model()->index(kEntries - 1, 0))));
    }

    // Pages arriving between turns of the event loop show page by page, in order.
    void appendsBetweenEventLoopTurnsFollowInOrder() {
        auto* list = widget<QListView>(*window_, "List1");
        QSignalSpy inserted(list->model(), &QAbstractItemModel::rowsInserted);
        for (int page = 0; page < 3; ++page) {
            for (int i = 0; i < 50; ++i) {
                form_->List1.addItem(domain(page * 50 + i));
            }
            QTRY_COMPARE(list->model()->rowCount(), (page + 1) * 50);
        }
        QCOMPARE(inserted.count(), 3);
        for (int row : {0, 49, 50, 149}) {
            QCOMPARE(list->model()->index(row, 0).data().toString(),
                     QString::fromStdString(domain(row)));
        }
    }

    void clearThenAppendBeforeAnyTurn() {
        auto* list = widget<QListView>(*window_, "List1");
        for (int i = 0; i < 10; ++i) {
            form_->List1.addItem(domain(i));
        }
        QTRY_COMPARE(list->model()->rowCount(), 10);
        form_->List1.clear();
        QCOMPARE(list->model()->rowCount(), 0);
        form_->List1.addItem("fresh.cn");
        QTRY_COMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("fresh.cn"));
    }

    void rowsOutsideTheListHaveNoData() {
        form_->List1.addItem("a.com");
        ui::ListBoxModel& model = window_->listModel();
        QTRY_COMPARE(model.rowCount(), 1);
        QVERIFY(!model.index(1, 0).data().isValid());
        QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).isValid());
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    }

private:
    std::unique_ptr<app::Form1> form_;
    std::unique_ptr<ui::MainWindow> window_;
};

int runListTests(int argc, char** argv) {
    ListTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "list_test.moc"
