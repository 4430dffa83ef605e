// 关注 in the 域名筛选 window: a star set by any of its ways is in the store and on the next
// window's rows; a refused write puts the star back and says so; a note typed and never left
// is stored when the window closes, under the note rules.
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filterwin_support.h"
#include "history/watchlist.h"

namespace jilan::filterwintest {

namespace {

using ui::filterwin::Column;
using ui::filterwin::tableIndexOf;

const std::vector<std::string> kWatchNames = {"8848.com", "lanshan.cn", "abc.net"};

// The stored watchlist's names and notes, by name.
std::map<std::string, std::string> storedNotes(const std::string& store) {
    std::map<std::string, std::string> notes;
    history::Watchlist list = history::Watchlist::open(store, history::OpenMode::ReadOnly);
    if (const auto names = list.ok() ? list.list() : std::nullopt) {
        for (const history::WatchedName& name : *names) {
            notes[name.domain] = name.note;
        }
    }
    return notes;
}

int rowOf(ui::filterwin::DomainFilterWindow& window, const std::string& domain) {
    for (int row = 0; row < window.model().shown(); ++row) {
        if (window.model().rowAt(row).domain == domain) {
            return row;
        }
    }
    return -1;
}

QString starOf(ui::filterwin::DomainFilterWindow& window, const std::string& domain) {
    const int row = rowOf(window, domain);
    return row < 0 ? QString()
                   : window.model()
                         .data(window.model().index(row, tableIndexOf(Column::Watched)))
                         .toString();
}

QString statusOf(ui::filterwin::DomainFilterWindow& window) {
    return window.findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
}

// Makes the row current and alone selected, the table focused, the window active.
void pick(Fixture& f, const std::string& domain) {
    QTableView& table = f.window.table();
    table.setFocus();
    table.selectRow(rowOf(f.window, domain));
    table.setCurrentIndex(f.window.model().index(rowOf(f.window, domain), 0));
}

}  // namespace

class WatchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWayToStarIsStoredAndSurvivesReopening() {
        struct Way {
            const char* name;
            void (*toggle)(Fixture&, const std::string&);
        };
        const Way ways[] = {
            {"click on the star",
             [](Fixture& f, const std::string& domain) {
                 QTableView& table = f.window.table();
                 const QModelIndex star =
                     f.window.model().index(rowOf(f.window, domain), tableIndexOf(Column::Watched));
                 QTest::mouseClick(table.viewport(), Qt::LeftButton, {},
                                   table.visualRect(star).center());
             }},
            {"Space",
             [](Fixture& f, const std::string& domain) {
                 pick(f, domain);
                 QTest::keyClick(&f.window.table(), Qt::Key_Space);
             }},
            {"Ctrl+D",
             [](Fixture& f, const std::string& domain) {
                 pick(f, domain);
                 QTest::keyClick(&f.window.table(), Qt::Key_D, Qt::ControlModifier);
             }},
        };
        for (const Way& way : ways) {
            QTemporaryDir dir;
            const std::string store = dir.filePath(QStringLiteral("h.sqlite3")).toStdString();
            {
                Fixture f(config::defaultUrls(), store);
                f.addNames(kWatchNames);
                f.window.open();
                QVERIFY2(QTest::qWaitForWindowActive(&f.window), way.name);
                // On, off, on: each one written, the last one kept.
                for (const bool watched : {true, false, true}) {
                    way.toggle(f, "lanshan.cn");
                    QCOMPARE(starOf(f.window, "lanshan.cn"),
                             watched ? QStringLiteral("★") : QStringLiteral("☆"));
                    f.window.finishStoreWrites();
                    QVERIFY2(storedNotes(store).contains("lanshan.cn") == watched, way.name);
                }
                QCOMPARE(storedNotes(store).size(), std::size_t{1});
            }
            Fixture later(config::defaultUrls(), store);
            later.addNames(kWatchNames);
            QTRY_COMPARE(starOf(later.window, "lanshan.cn"), QStringLiteral("★"));
            QCOMPARE(starOf(later.window, "8848.com"), QStringLiteral("☆"));
            // The source 关注列表: the watched names only, whatever the list holds.
            later.window.setSource(ui::filterwin::DomainFilterWindow::Source::Watchlist);
            QTRY_COMPARE(later.window.model().total(), 1);
            QCOMPARE(later.window.model().rowAt(0).domain, std::string("lanshan.cn"));
            QCOMPARE(starOf(later.window, "lanshan.cn"), QStringLiteral("★"));
        }
    }

    void aRefusedStarIsPutBackAndSaid() {
        // The store's place is a folder: no store can be opened there.
        QTemporaryDir dir;
        Fixture f(config::defaultUrls(), dir.path().toStdString());
        f.addNames(kWatchNames);
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        pick(f, "8848.com");
        f.window.toggleSelectedWatched();
        QTRY_VERIFY(statusOf(f.window).startsWith(QStringLiteral("关注未保存：")));
        QCOMPARE(starOf(f.window, "8848.com"), QStringLiteral("☆"));
    }

    void theFilterWordKeepsTheStarredRowsAsTheyChange() {
        QTemporaryDir dir;
        Fixture f(config::defaultUrls(), dir.filePath(QStringLiteral("h.sqlite3")).toStdString());
        f.addNames(kWatchNames);
        f.window.open();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        struct Case {
            const char* expression;
            std::vector<std::string> toggled;  // shown rows, (un)starred under the filter
            QStringList shown;
        };
        const Case cases[] = {
            {"", {"lanshan.cn"}, texts({"8848.com", "lanshan.cn", "abc.net"})},
            {"关注", {}, texts({"lanshan.cn"})},
            {"WATCHED", {}, texts({"lanshan.cn"})},
            {"!关注 len=4", {}, texts({"8848.com"})},
            // Starred where the filter wants none: it goes; unstarred under 关注: it goes.
            {"!关注", {"abc.net"}, texts({"8848.com"})},
            {"关注", {"lanshan.cn"}, texts({"abc.net"})},
        };
        for (const Case& c : cases) {
            f.window.model().setFilter(lineFilter(c.expression));
            for (const std::string& name : c.toggled) {
                QVERIFY2(rowOf(f.window, name) >= 0, name.c_str());
                f.window.toggleWatched({rowOf(f.window, name)});
            }
            QStringList shown;
            for (int row = 0; row < f.window.model().shown(); ++row) {
                shown << QString::fromStdString(f.window.model().rowAt(row).domain);
            }
            QVERIFY2(shown == c.shown, c.expression);
        }
        f.window.finishStoreWrites();
    }

    void aNoteTypedIsStoredWhenTheWindowCloses() {
        struct Case {
            const char* typed;
            const char* stored;  // nullptr: refused, the note kept as it was
        };
        const std::string tooLong(history::kMaxNoteChars + 1, 'x');
        const Case cases[] = {
            {"周一前预定", "周一前预定"},
            {"报价\t800\x07元", "报价800元"},  // control characters go
            {"", ""},
            {tooLong.c_str(), nullptr},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            const std::string store = dir.filePath(QStringLiteral("h.sqlite3")).toStdString();
            {
                history::Watchlist list =
                    history::Watchlist::open(store, history::OpenMode::ReadWrite);
                QVERIFY(list.add({"8848.com"}, std::string("旧备注"), 1).empty());
            }
            Fixture f(config::defaultUrls(), store);
            f.addNames(kWatchNames);
            f.window.open();
            QVERIFY(QTest::qWaitForWindowActive(&f.window));
            QTRY_COMPARE(starOf(f.window, "8848.com"), QStringLiteral("★"));
            pick(f, "8848.com");
            QLineEdit& note = f.window.noteEdit();
            QVERIFY(note.isEnabled());
            QCOMPARE(note.text(), QStringLiteral("旧备注"));
            note.setFocus();
            // Typed text that is not key strokes (Chinese) goes in as an input method puts it.
            note.selectAll();
            note.insert(QString::fromUtf8(c.typed));
            QVERIFY(note.hasFocus());
            f.window.close();
            f.window.finishStoreWrites();
            const std::string expected = c.stored != nullptr ? c.stored : "旧备注";
            QCOMPARE(storedNotes(store).at("8848.com"), expected);
            if (c.stored == nullptr) {
                QVERIFY(statusOf(f.window).startsWith(QStringLiteral("备注未保存：")));
                // Still there to shorten.
                QCOMPARE(note.text().size(), qsizetype(tooLong.size()));
            }
        }
    }
};

int runWatchTests(int argc, char** argv) {
    WatchTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "watch_test.moc"
