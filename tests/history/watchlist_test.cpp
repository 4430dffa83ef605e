// The watchlist in the store: the schema step over an older store, notes, and reminder records.
#include "history/watchlist.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "history_fixture.h"
#include "temp_dir.h"

namespace jilan::history {
namespace {

// A store as the program before the watchlist left it: steps up to version 5, one named run.
void versionFiveStore(const std::string& path) {
    testing::recordRuns(path, {{1000, {{"Old.com", "8848.com"}}}});
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    Connection db(raw);
    ASSERT_EQ(execute(db.get(),
                      "DROP TABLE watchlist; DROP TABLE watch_reminders; DROP TABLE watch_changes; "
                      "UPDATE names SET score = 61 WHERE key = '8848.com'; "
                      "PRAGMA user_version = 5"),
              SQLITE_OK);
}

std::map<std::string, WatchedName> byKey(Watchlist& w) {
    std::map<std::string, WatchedName> out;
    for (WatchedName& n : w.list().value_or(std::vector<WatchedName>{})) {
        out[n.key] = std::move(n);
    }
    return out;
}

TEST(Watchlist, AnOlderStoreIsReadAsEmptyThenUpgradedWithItsNamesKept) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    versionFiveStore(path);

    Watchlist reading = Watchlist::open(path, OpenMode::ReadOnly);
    ASSERT_TRUE(reading.ok()) << reading.unavailableReason();
    EXPECT_EQ(reading.list().value_or(std::vector<WatchedName>{{}}).size(), 0u);
    EXPECT_NE(reading.add({"a.com"}, std::nullopt, 5), "") << "a read-only look never writes";

    Watchlist w = Watchlist::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(w.ok()) << w.unavailableReason();
    ASSERT_EQ(w.add({"8848.COM", "new.cn"}, std::string("先看价格"), 2000), "");
    const auto names = byKey(w);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names.at("8848.com").score, 61) << "the harvested name's 评分 is joined";
    EXPECT_EQ(names.at("new.cn").score, -1);
    EXPECT_EQ(names.at("8848.com").note, "先看价格");
    EXPECT_TRUE(Reader::open(path).lookup("old.com").has_value());

    // A program that knows version 5 at most sees a newer store and refuses it.
    int code = 0;
    EXPECT_GT(
        queryInteger(openStore(path, OpenMode::ReadOnly).db.get(), "PRAGMA user_version", code), 5);
}

TEST(Watchlist, AddingAgainKeepsTheAddedTimeAndOnlyAGivenNoteReplacesTheOldOne) {
    jilan::testing::TempDir dir;
    Watchlist w = Watchlist::open(dir.file("h.sqlite3"), OpenMode::ReadWrite);
    ASSERT_EQ(w.add({"a.com", "b.com"}, std::string("旧"), 100), "");
    ASSERT_EQ(w.add({"A.com"}, std::nullopt, 200), "");
    ASSERT_EQ(w.add({"b.com"}, std::string("新"), 300), "");
    auto names = byKey(w);
    EXPECT_EQ(names.at("a.com").addedAt, 100);
    EXPECT_EQ(names.at("a.com").note, "旧");
    EXPECT_EQ(names.at("b.com").note, "新");
    EXPECT_EQ(w.watchedAmong({"A.COM", "c.com", "b.com"}),
              (std::unordered_set<std::string>{"a.com", "b.com"}));

    ASSERT_EQ(
        w.recordReminder({"a.com", ReminderKind::AtDeletion, 5000, ReminderState::Sent, "⏰", 4990}),
        "");
    int removed = 0;
    ASSERT_EQ(w.remove({"a.com", "zzz.com"}, removed), "");
    EXPECT_EQ(removed, 1);
    EXPECT_FALSE(w.reminder("a.com", ReminderKind::AtDeletion, 5000).has_value())
        << "a name watched again starts without old reminders";
}

TEST(Watchlist, AReminderIsKeptPerMomentAndAMissedOneIsReportedOnce) {
    jilan::testing::TempDir dir;
    Watchlist w = Watchlist::open(dir.file("h.sqlite3"), OpenMode::ReadWrite);
    ASSERT_EQ(w.add({"a.com"}, std::nullopt, 1), "");
    ASSERT_EQ(w.recordReminder(
                  {"a.com", ReminderKind::BeforeDeadline, 7200, ReminderState::Due, "t", 10}),
              "");
    ASSERT_EQ(w.recordReminder(
                  {"a.com", ReminderKind::BeforeDeadline, 7200, ReminderState::Sent, "t", 11}),
              "");
    EXPECT_EQ(w.reminder("a.com", ReminderKind::BeforeDeadline, 7200).value().state,
              ReminderState::Sent);
    EXPECT_FALSE(w.reminder("a.com", ReminderKind::BeforeDeadline, 9000).has_value())
        << "a moved deadline has no reminder yet";
    EXPECT_FALSE(w.reminder("a.com", ReminderKind::AtDeletion, 7200).has_value());

    ASSERT_EQ(w.recordReminder(
                  {"a.com", ReminderKind::AtDeletion, 8000, ReminderState::Missed, "已错过", 9000}),
              "");
    const auto missed = w.unreportedMissed();
    ASSERT_EQ(missed.size(), 1u);
    EXPECT_EQ(missed[0].moment, 8000);
    ASSERT_EQ(w.markReported(missed), "");
    EXPECT_TRUE(w.unreportedMissed().empty());
}

}  // namespace
}  // namespace jilan::history
