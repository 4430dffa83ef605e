// Start-up, links and the exit question, through the program as main() wires
// it, on a platform whose dialogs answer from a script.
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/shell.h"
#include "ui/control_widgets.h"
#include "ui/model_conversions.h"
#include "ui_test_support.h"

namespace jilan::uitest {

namespace {

config::Urls testUrls() {
    config::Urls urls = config::defaultUrls();
    urls.forum = "http://forum.example/bbs";
    urls.home = "http://home.example/";
    return urls;
}

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        program_ = std::make_unique<Program>(testUrls());
        program_->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&program_->window));
    }
    void cleanup() { program_.reset(); }

    void exitQuestion_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<int>("answer");
        const struct {
            const char* name;
            bool closeBox;
            app::MessageAnswer answer;
        } rows[] = {
            {"close box, Yes", true, app::MessageAnswer::Yes},
            {"close box, No", true, app::MessageAnswer::No},
            {"close box, Cancel", true, app::MessageAnswer::Cancel},
            {"Command3, Yes", false, app::MessageAnswer::Yes},
            {"Command3, No", false, app::MessageAnswer::No},
            {"Command3, Cancel", false, app::MessageAnswer::Cancel},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.name) << row.closeBox << int(row.answer);
        }
    }
    void exitQuestion() {
        QFETCH(bool, closeBox);
        QFETCH(int, answer);
        app::Form1& form = program_->form;
        ScriptedPlatform& platform = program_->platform;
        form.List1.addItem("a.com");
        form.List1.addItem("b.cn");
        form.List1.setListIndex(1);
        form.Label12.setCaption("是否备案：已备案");
        form.setStatus("查询完毕 ..");
        platform.answers.push_back(app::MessageAnswer(answer));

        bool closed = false;
        if (closeBox) {
            closed = program_->window.close();
        } else {
            QTest::mouseClick(program_->window.widgetFor("Command3"), Qt::LeftButton);
        }

        QCOMPARE(platform.messages.size(), std::size_t{1});
        QCOMPARE(platform.messages[0].prompt, std::string(app::kExitPrompt));
        QCOMPARE(platform.messages[0].title, std::string("霁岚系列软件"));
        QCOMPARE(platform.messages[0].buttons, app::MessageButtons::YesNoCancel);
        QVERIFY(!closed);  // the window only goes when the program ends

        switch (app::MessageAnswer(answer)) {
            case app::MessageAnswer::Yes:
                QCOMPARE(platform.launched, std::vector<std::string>{"http://forum.example/bbs"});
                QCOMPARE(platform.ends, 1);
                QVERIFY(form.ended());
                break;
            case app::MessageAnswer::No:
                QVERIFY(platform.launched.empty());
                QCOMPARE(platform.ends, 1);
                QVERIFY(form.ended());
                break;
            default: {
                QVERIFY(platform.launched.empty());
                QCOMPARE(platform.ends, 0);
                QVERIFY(!form.ended());
                QVERIFY(program_->window.isVisible());
                auto* list = widget<QListView>(program_->window, "List1");
                QTRY_COMPARE(list->model()->rowCount(), 2);
                QCOMPARE(list->currentIndex().row(), 1);
                QCOMPARE(widget<QLabel>(program_->window, "Label12")->text(),
                         QStringLiteral("是否备案：已备案"));
                QCOMPARE(widget<ui::StatusBarWidget>(program_->window, "S1")->panel(2)->text(),
                         QStringLiteral("查询完毕 .."));
                // A second close asks again.
                platform.answers.push_back(app::MessageAnswer::Cancel);
                program_->window.close();
                QCOMPARE(platform.messages.size(), std::size_t{2});
                QVERIFY(!form.ended());
            }
        }
    }

    void afterTheEndNothingIsHandled() {
        program_->platform.answers.push_back(app::MessageAnswer::No);
        program_->window.close();
        QVERIFY(program_->form.ended());
        QVERIFY(program_->window.close());  // closing now asks nothing
        QTest::mouseClick(program_->window.widgetFor("Command2"), Qt::LeftButton);
        QCOMPARE(program_->platform.messages.size(), std::size_t{1});
        QVERIFY(program_->platform.launched.empty());
    }

    void linkButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("url");
        QTest::newRow("forum") << QStringLiteral("Command2")
                               << QStringLiteral("http://forum.example/bbs");
        QTest::newRow("home") << QStringLiteral("Command4")
                              << QStringLiteral("http://home.example/");
    }
    void linkButtons() {
        QFETCH(QString, button);
        QFETCH(QString, url);
        QTest::mouseClick(program_->window.widgetFor(button.toStdString()), Qt::LeftButton);
        QCOMPARE(program_->platform.launched, std::vector<std::string>{url.toStdString()});
        QVERIFY(program_->platform.messages.empty());
        QVERIFY(!program_->form.ended());
    }

    // The forum button and the Yes answer launch the same text.
    void forumButtonAndYesLaunchTheSame() {
        QTest::mouseClick(program_->window.widgetFor("Command2"), Qt::LeftButton);
        program_->platform.answers.push_back(app::MessageAnswer::Yes);
        program_->window.close();
        QCOMPARE(program_->platform.launched.size(), std::size_t{2});
        QCOMPARE(program_->platform.launched[0], program_->platform.launched[1]);
    }

    // Right button over the list: the five-entry popup; left button: none.
    void listRightClickOpensPopup_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("popups");
        QTest::newRow("right") << int(Qt::RightButton) << 1;
        QTest::newRow("left") << int(Qt::LeftButton) << 0;
        QTest::newRow("middle") << int(Qt::MiddleButton) << 0;
    }
    void listRightClickOpensPopup() {
        QFETCH(int, button);
        QFETCH(int, popups);
        program_->form.List1.addItem("a.com");
        auto* list = widget<QListView>(program_->window, "List1");
        QTRY_COMPARE(list->model()->rowCount(), 1);
        QTest::mouseClick(list->viewport(), Qt::MouseButton(button), {},
                          list->visualRect(list->model()->index(0, 0)).center());
        QCOMPARE(int(program_->platform.popups.size()), popups);
        if (popups > 0) {
            QCOMPARE(program_->platform.popups[0],
                     (std::vector<QString>{QStringLiteral("复制域名"), QStringLiteral("-"),
                                           QStringLiteral("查询信息"), QStringLiteral("-"),
                                           QStringLiteral("预定域名")}));
        }
    }

    // Choosing "复制域名" in the popup copies the selected entry to the clipboard.
    void popupChoiceRunsItsHandler() {
        program_->form.List1.addItem("a.com");
        program_->form.List1.addItem("b.cn");
        program_->form.List1.setListIndex(1);
        program_->platform.onPopup = [](app::Menu& menu, const std::vector<QString>&) {
            menu.items().front()->Click.raise();
        };
        auto* list = widget<QListView>(program_->window, "List1");
        QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                          list->visualRect(list->model()->index(0, 0)).center());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("b.cn"));
        QCOMPARE(program_->form.List1.listIndex(), 1);
    }

    void skin_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("applied");
        QTest::newRow("style sheet file") << QStringLiteral("file") << true;
        QTest::newRow("missing") << QStringLiteral("missing") << false;
        QTest::newRow("not a readable file") << QStringLiteral("folder") << false;
    }
    void skin() {
        QFETCH(QString, kind);
        QFETCH(bool, applied);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("skinh.she"));
        const QByteArray sheet = "QWidget#Form1 { background-color: rgb(10, 200, 30); }";
        if (kind == QStringLiteral("file")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(sheet);
        } else if (kind == QStringLiteral("folder")) {
            QVERIFY(QDir().mkpath(path));
        }
        program_->platform.folder = folder.path().toStdString();
        // As at start-up: loaded, then shown.
        program_->window.hide();
        program_->form.Load.raise();
        program_->window.show();

        QCOMPARE(program_->window.styleSheet(), applied ? QString::fromUtf8(sheet) : QString());
        const QColor corner = program_->window.grab().toImage().pixelColor(2, 2);
        QCOMPARE(corner == QColor(10, 200, 30), applied);
        // Start-up clears the window's icon either way.
        QVERIFY(!program_->form.hasIcon());
        QVERIFY(program_->window.windowIcon().availableSizes().isEmpty());
        QVERIFY(!program_->form.ended());
    }

private:
    std::unique_ptr<Program> program_;
};

int runShellTests(int argc, char** argv) {
    ShellTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "shell_test.moc"
