// The history loader: rows of the store take the features stored beside each name unless
// other rules stored them, and a run's new names come once in full, then only what was
// added since.
#include <QtTest>

#include "filter/name_features.h"
#include "filterwin_support.h"
#include "history/recorder.h"
#include "ui/filterwin/history_loader.h"

namespace jilan::filterwintest {

using ui::filterwin::HistoryLoader;
using ui::filterwin::TableRow;

namespace {

constexpr std::int64_t kSeen = 1'765'000'000;

history::RecorderOptions recorderFor(const std::string& path, history::ColumnsFn columns,
                                     int version) {
    return history::RecorderOptions{.path = path,
                                    .store = {},
                                    .columns = std::move(columns),
                                    .featuresVersion = version,
                                    .onPageCommitted = {}};
}

// What a loader handed over, as it arrived.
struct Received {
    std::vector<TableRow> rows;
    bool done = false;
    std::vector<std::pair<std::vector<std::string>, bool>> newNames;  // keys, replace
};

HistoryLoader::Callbacks recordInto(Received& got) {
    HistoryLoader::Callbacks callbacks;
    callbacks.rows = [&got](std::vector<TableRow> rows) {
        std::move(rows.begin(), rows.end(), std::back_inserter(got.rows));
    };
    callbacks.done = [&got](const std::string&) { got.done = true; };
    callbacks.details = [](std::vector<std::pair<std::string, ui::filterwin::DetailCells>>) {};
    callbacks.newNames = [&got](std::vector<std::string> keys, bool replace) {
        std::sort(keys.begin(), keys.end());
        got.newNames.emplace_back(std::move(keys), replace);
    };
    return callbacks;
}

}  // namespace

class HistoryLoaderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void storedFeaturesAreTakenWhenTheirRulesAreCurrent() {
        // Stored columns that computing would never give, so the test sees which were used.
        const history::ColumnsFn marked = [](std::string_view domain) {
            history::NameColumns c;
            c.name = std::string(domain.substr(0, domain.find('.')));
            c.tld = "stored-tld";
            c.kind = domain.starts_with("odd")
                         ? "不是类别"
                         : std::string(filter::classText(filter::NameClass::Digits));
            c.structure = "STORED";
            c.pinyin = "stored";
            c.length = 99;
            c.syllables = 7;
            return c;
        };
        struct Case {
            const char* rule;
            const char* domain;
            int version;
            bool stored;
        };
        const Case cases[] = {
            {"stored by the current rules: taken as stored", "lanshan.com",
             filter::kFeaturesVersion, true},
            {"stored by older rules: computed again", "lanshan.com", filter::kFeaturesVersion - 1,
             false},
            {"stored by newer rules: computed again", "lanshan.com", filter::kFeaturesVersion + 1,
             false},
            {"a stored class this program does not know: computed again", "oddname.com",
             filter::kFeaturesVersion, false},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            const std::string store = dir.filePath(QStringLiteral("h.sqlite3")).toStdString();
            {
                const history::ColumnsFn columns = [&](std::string_view domain) {
                    history::NameColumns stored = marked(domain);
                    stored.featuresVersion = c.version;
                    return stored;
                };
                history::Recorder recorder(recorderFor(store, columns, c.version));
                const auto run = recorder.beginRun(1, kSeen);
                recorder.recordPage(run, {c.domain}, kSeen);
                recorder.close();
            }
            Received got;
            HistoryLoader loader(store, {}, recordInto(got));
            loader.loadRange({kSeen - 10, kSeen + 10});
            QTRY_VERIFY2(got.done, c.rule);
            QVERIFY2(got.rows.size() == 1, c.rule);
            const filter::NameFeatures& f = got.rows[0].features;
            const filter::NameFeatures computed = filter::computeFeatures(c.domain);
            QCOMPARE(QString::fromStdString(got.rows[0].domain), QString::fromUtf8(c.domain));
            QVERIFY2((f.length == 99) == c.stored, c.rule);
            QCOMPARE(
                QString::fromStdString(f.structure),
                c.stored ? QStringLiteral("STORED") : QString::fromStdString(computed.structure));
            QCOMPARE(QString::fromStdString(f.tld), c.stored
                                                        ? QStringLiteral("stored-tld")
                                                        : QString::fromStdString(computed.tld));
            QCOMPARE(f.syllables, c.stored ? 7 : computed.syllables);
            QVERIFY2((f.kind == filter::NameClass::Digits) == c.stored, c.rule);
        }
    }

    void newNamesOfARunComeInFullThenAsAdditions() {
        QTemporaryDir dir;
        const std::string store = dir.filePath(QStringLiteral("h.sqlite3")).toStdString();
        history::Recorder recorder(recorderFor(store, {}, 0));
        const auto run = recorder.beginRun(2, kSeen);
        recorder.recordPage(run, {"a.com", "b.com"}, kSeen);
        recorder.flush();
        const std::optional<std::int64_t> runId = recorder.runId(run);
        QVERIFY(runId.has_value());

        Received got;
        HistoryLoader loader(store, {}, recordInto(got));
        struct Step {
            const char* rule;
            std::vector<std::string> page;  // recorded before the step, when any
            bool cancelFirst;
            std::vector<std::string> keys;
            bool replace;
        };
        const Step steps[] = {
            {"first answer: every new name, replacing", {}, false, {"a.com", "b.com"}, true},
            {"later: only the names added since", {"c.com", "a.com"}, false, {"c.com"}, false},
            {"after a cancel (the table started over): in full again",
             {},
             true,
             {"a.com", "b.com", "c.com"},
             true},
        };
        for (const Step& step : steps) {
            if (!step.page.empty()) {
                recorder.recordPage(run, step.page, kSeen + 1);
                recorder.flush();
            }
            if (step.cancelFirst) {
                loader.cancel();
            }
            const std::size_t before = got.newNames.size();
            loader.findNewInRun(*runId);
            QTRY_VERIFY2(got.newNames.size() == before + 1, step.rule);
            QVERIFY2(got.newNames.back().first == step.keys, step.rule);
            QVERIFY2(got.newNames.back().second == step.replace, step.rule);
        }
        // Nothing added: no call; the next addition comes alone.
        loader.findNewInRun(*runId);
        recorder.recordPage(run, {"d.com"}, kSeen + 2);
        recorder.flush();
        loader.findNewInRun(*runId);
        QTRY_COMPARE(got.newNames.size(), std::size_t{4});
        QVERIFY(got.newNames.back().first == std::vector<std::string>{"d.com"});
        QVERIFY(!got.newNames.back().second);
        recorder.close();
    }
};

int runHistoryLoaderTests(int argc, char** argv) {
    HistoryLoaderTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "history_loader_test.moc"
