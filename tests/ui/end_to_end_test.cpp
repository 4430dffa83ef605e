// The whole program on the real Qt platform: a close while a harvest waits for
// its page asks the exit question; Yes or No ends the program at once with 0.
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include "ui_test_support.h"

namespace jilan::uitest {

namespace {

using jilan::testing::NoBrowserPlatform;

// Gives up on a run that never ends, so that a fault shows as a failure.
constexpr int kGiveUpMs = 20'000;
constexpr int kGaveUp = 99;

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void closeDuringWaitingFetch_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("launches");
        QTest::newRow("No") << int(QMessageBox::No) << 0;
        QTest::newRow("Yes") << int(QMessageBox::Yes) << 1;
    }
    void closeDuringWaitingFetch() {
        QFETCH(int, answer);
        QFETCH(int, launches);
        // A marketplace that takes the connection and never answers.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        config::Urls urls = config::defaultUrls();
        urls.market = "http://127.0.0.1:" + std::to_string(silent.serverPort());
        urls.forum = "http://forum.example/bbs";

        app::Form1 form;
        NoBrowserPlatform platform;
        net::TransferPool pool;
        program::Application application(form, platform, pool, program::AppOptions{urls, {}});
        ui::MainWindow window(form);
        platform.setWindow(&window);
        form.Load.raise();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        bool waiting = false;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            if (!waiting) {
                waiting = true;
                // The user closes the window while the page is awaited.
                QTimer::singleShot(0, &window, [&window] { window.close(); });
            }
        });
        QString question;
        WhenShown respond(
            [&](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box == nullptr) {
                    return;
                }
                question = box->text();
                box->button(QMessageBox::StandardButton(answer))->click();
            },
            kGiveUpMs);
        std::string statusAtEnd;
        form.endedSignal.connect([&] { statusAtEnd = form.status(); });
        QTimer::singleShot(0, &window, [&window] {
            QTest::mouseClick(window.widgetFor("Command1"), Qt::LeftButton);
        });
        QTimer::singleShot(kGiveUpMs, [] { QCoreApplication::exit(kGaveUp); });

        const int result = QApplication::exec();

        QCOMPARE(result, 0);
        QVERIFY(waiting);
        QVERIFY(respond.done());
        QVERIFY(question.startsWith(QStringLiteral("感谢您对霁岚")));
        QVERIFY(form.ended());
        QVERIFY(platform.ended());
        QVERIFY(!window.isVisible());
        QVERIFY(!window.harvestTimer().isActive());
        QCOMPARE(int(platform.launched.size()), launches);
        if (launches > 0) {
            QCOMPARE(platform.launched.front(), std::string("http://forum.example/bbs"));
        }
        // Nothing ran after the end: the abandoned page wrote nothing.
        QCOMPARE(form.status(), statusAtEnd);
        QCOMPARE(form.List1.listCount(), std::size_t{0});
    }

    // Cancel lets the wait go on; the window stays and the program runs.
    void cancelDuringWaitingFetchKeepsRunning() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        config::Urls urls = config::defaultUrls();
        urls.market = "http://127.0.0.1:" + std::to_string(silent.serverPort());

        app::Form1 form;
        NoBrowserPlatform platform;
        net::HttpLimits limits;
        limits.totalTimeoutMs = 1'500;  // the wait ends by itself after the question
        net::TransferPool pool(limits);
        program::Application application(form, platform, pool, program::AppOptions{urls, {}});
        ui::MainWindow window(form);
        platform.setWindow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        bool asked = false;
        connect(&silent, &QTcpServer::newConnection, this,
                [&] { QTimer::singleShot(0, &window, [&window] { window.close(); }); });
        WhenShown respond([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                asked = true;
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        QTest::mouseClick(window.widgetFor("Command1"), Qt::LeftButton);

        QVERIFY(asked);
        QVERIFY(!form.ended());
        QVERIFY(!platform.ended());
        QVERIFY(window.isVisible());
        QVERIFY(platform.launched.empty());
    }
};

int runEndToEndTests(int argc, char** argv) {
    EndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "end_to_end_test.moc"
