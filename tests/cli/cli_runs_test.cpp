// The window-less runs against the market simulator over loopback: what each writes, what it
// records in the history, and the exit status of each way it can end.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/name_key.h"
#include "cli/interrupt_watch.h"
#include "cli/run.h"
#include "cli/window_less_runs.h"
#include "day_listing.h"
#include "export/cell_values.h"
#include "filter/filter_expr.h"
#include "filter/score.h"
#include "harvest/listing_batch.h"
#include "history/watchlist.h"
#include "market_sim.h"
#include "temp_dir.h"
#include "zip_member.h"

namespace jilan::cli {
namespace {

using jilan::testing::unescapeXml;
using jilan::testing::unzipMember;

constexpr int kSimPages = 8;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        out.push_back(text.substr(at, end - at));
    }
    EXPECT_EQ(at, text.size()) << "every line ends in CR LF";
    return out;
}

// The first sheet's rows as text cells, shared strings resolved; rows[0] is the header.
// A number cell as text: a time (days since 1899-12-30) as "YYYY-MM-DD HH:MM:SS", any other
// number (a count, an amount) as its value.
std::string numberCellText(double value, bool time) {
    if (!time) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }
    using namespace std::chrono;
    const auto days = static_cast<int>(value);
    const auto seconds = static_cast<int>(std::lround((value - days) * 86400));
    const year_month_day date{sys_days{year{1899} / December / 30} + std::chrono::days{days}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::vector<std::vector<std::string>> sheetRows(const std::string& book) {
    const std::string sheet = unzipMember(book, "xl/worksheets/sheet1.xml");
    const std::string sharedXml = unzipMember(book, "xl/sharedStrings.xml");
    std::vector<std::string> shared;
    const std::regex si("<si>(?:<t[^>]*>([^<]*)</t>|<t[^>]*/>)</si>");
    for (std::sregex_iterator it(sharedXml.begin(), sharedXml.end(), si), end; it != end; ++it) {
        shared.push_back(unescapeXml((*it)[1]));
    }
    std::vector<std::vector<std::string>> rows;
    const std::regex cell("<c r=\"([A-Z]+)([0-9]+)\"([^>]*)>(.*?)</c>");
    const std::regex value("<v>([^<]*)</v>");
    const std::regex inlineText("<is><t[^>]*>([^<]*)</t></is>");
    for (std::sregex_iterator it(sheet.begin(), sheet.end(), cell), end; it != end; ++it) {
        const std::size_t row = std::stoul((*it)[2]) - 1;
        const std::string letters = (*it)[1];
        std::size_t column = 0;
        for (const char l : letters) {
            column = column * 26 + static_cast<std::size_t>(l - 'A' + 1);
        }
        --column;
        if (rows.size() <= row) {
            rows.resize(row + 1);
        }
        if (rows[row].size() <= column) {
            rows[row].resize(column + 1);
        }
        const std::string attributes = (*it)[3];
        const std::string body = (*it)[4];
        std::smatch m;
        if (attributes.find("t=\"s\"") != std::string::npos && std::regex_search(body, m, value)) {
            rows[row][column] = shared.at(std::stoul(m[1]));
        } else if (std::regex_search(body, m, inlineText)) {
            rows[row][column] = unescapeXml(m[1]);
        } else if (std::regex_search(body, m, value)) {
            rows[row][column] = numberCellText(
                std::stod(m[1]), column < exporting::kExportColumns.size() &&
                                     exporting::specOf(exporting::kExportColumns[column]).shape ==
                                         exporting::Shape::Time);
        }
    }
    for (auto& r : rows) {
        r.resize(exporting::kExportColumns.size());
    }
    return rows;
}

class CliRunsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Options o;
        o.day = 1;
        o.pages = kSimPages;
        sim.setOptions(o);
        ASSERT_TRUE(sim.start()) << sim.lastError();
        settings.urls =
            config::Urls{sim.baseUrl(), sim.icpBaseUrl(), sim.baseUrl() + "/vendor/forum",
                         sim.baseUrl() + "/vendor/home"};
        settings.limits.totalTimeoutMs = 5'000;
        settings.harvest.retryPauseMs = 10;
        settings.historyPath = dir.file("history.sqlite3");
        settings.pauseMs = 0;
    }

    // The names the simulator lists on pages 1..pages of `day`, as listed.
    std::vector<std::string> dayNames(int day, int pages) const {
        sim::Options o = sim.options();
        o.day = day;
        const sim::DayListing listing(day, sim::dayListingSize(o));
        std::vector<std::string> names;
        for (int p = 1; p <= pages; ++p) {
            for (const std::string& d : sim::rowDomains(o, p, &listing)) {
                names.push_back(d);
            }
        }
        return names;
    }

    int harvest(const std::string& pages, const Settings& s) {
        err.str({});
        return runHarvestCommand(pages, s, interruption, err);
    }

    testing::TempDir dir{"jilan-cli"};
    sim::MarketSim sim;
    Settings settings;
    Interruption interruption;
    std::ostringstream err;
};

// The two-day run: day 1 harvested, then day 2 with --new-only and a filter writes exactly the
// names of day 2 that day 1 did not list and that pass; the history search finds them again.
TEST_F(CliRunsTest, SecondDayWritesExactlyTheNewNamesThatPass) {
    struct Case {
        const char* rule;
        const char* filter;
    };
    const Case cases[] = {
        {"no filter: every new name", ""},
        {"short names", "len<=5"},
        {"digits or letters, no hyphen", "kind=digits,letters !has=-"},
        {"pinyin pairs in .com", "双拼 tld=com"},
    };
    const int pages = 3;
    const std::vector<std::string> day1 = dayNames(1, pages);
    const std::vector<std::string> day2 = dayNames(2, pages);
    std::set<std::string> seenDay1;
    for (const std::string& d : day1) {
        seenDay1.insert(base::nameKey(d));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Settings s = settings;
        s.historyPath = dir.file(std::string("h-") + std::to_string(&c - cases) + ".sqlite3");
        sim.modifyOptions([](sim::Options& o) { o.day = 1; });
        s.output = dir.file("day1.txt");
        ASSERT_EQ(harvest(std::to_string(pages), s), 0) << err.str();
        EXPECT_EQ(lines(readFile(s.output)), day1);

        sim.modifyOptions([](sim::Options& o) { o.day = 2; });
        s.output = dir.file("day2-new.txt");
        s.newOnly = true;
        s.filter = c.filter;
        ASSERT_EQ(harvest(std::to_string(pages), s), 0) << err.str();

        const auto compiled = filter::Filter::compile(c.filter);
        const filter::Filter& f = std::get<filter::Filter>(compiled);
        std::vector<std::string> expected;
        for (const std::string& d : day2) {
            if (!seenDay1.contains(base::nameKey(d)) &&
                f.matches(filter::computeFeatures(d), true)) {
                expected.push_back(d);
            }
        }
        const std::vector<std::string> written = lines(readFile(s.output));
        EXPECT_EQ(written, expected);

        // Searching the history with the filter and `new` over today finds them among the
        // names both days saw: every name written is found again.
        Settings search = s;
        search.newOnly = false;
        search.output = dir.file("found.txt");
        err.str({});
        ASSERT_EQ(runSearchHistoryCommand(search, interruption, err), 0) << err.str();
        const std::vector<std::string> found = lines(readFile(search.output));
        const std::set<std::string> foundSet(found.begin(), found.end());
        for (const std::string& d : written) {
            EXPECT_TRUE(foundSet.contains(d)) << d;
        }
        std::set<std::string> passing;
        for (const auto* day : {&day1, &day2}) {
            for (const std::string& d : *day) {
                if (f.matches(filter::computeFeatures(d), true)) {
                    passing.insert(d);
                }
            }
        }
        EXPECT_EQ(foundSet, passing);
    }
}

// A store that cannot be used never stops the harvest: every listed name is written, the
// reason is printed, the run exits 4, and the store is left exactly as it was.
TEST_F(CliRunsTest, UnusableHistoryStillWritesEveryNameAndExitsFour) {
    enum class Kind { Corrupt, Folder, TooNew };
    struct Case {
        const char* rule;
        Kind kind;
        bool newOnly;
    };
    const Case cases[] = {
        {"corrupt file", Kind::Corrupt, false},
        {"corrupt file with --new-only: nothing is held back", Kind::Corrupt, true},
        {"a folder in its place", Kind::Folder, false},
        {"a schema newer than the program", Kind::TooNew, false},
    };
    const std::vector<std::string> page1 = dayNames(1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const std::string store = dir.file("bad-" + std::to_string(&c - cases));
        switch (c.kind) {
            case Kind::Corrupt:
                dir.write(store.substr(store.rfind('/') + 1),
                          std::string("SQLite format 3") + std::string(4000, '\x5a'));
                break;
            case Kind::Folder:
                std::filesystem::create_directory(store);
                break;
            case Kind::TooNew: {
                sqlite3* db = nullptr;
                ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
                sqlite3_exec(db, "CREATE TABLE x(a); PRAGMA user_version=99;", nullptr, nullptr,
                             nullptr);
                sqlite3_close(db);
                break;
            }
        }
        const std::string before = c.kind == Kind::Folder ? "" : readFile(store);
        Settings s = settings;
        s.historyPath = store;
        s.newOnly = c.newOnly;
        s.output = dir.file("out.txt");
        EXPECT_EQ(harvest("1", s), 4);
        EXPECT_EQ(lines(readFile(s.output)), page1);
        EXPECT_NE(err.str().find("历史记录不可用"), std::string::npos) << err.str();
        if (c.kind == Kind::Folder) {
            EXPECT_TRUE(std::filesystem::is_directory(store));
        } else {
            EXPECT_EQ(readFile(store), before);
        }
    }
}

TEST_F(CliRunsTest, BadOptionsAndUnwritableOutputsEndBeforeAnyRequest) {
    dir.write("file", "x");
    struct Case {
        const char* rule;
        std::string pages, filter, output, format;
        bool newOnly, noHistory;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"page count is not a number", "many", "", dir.file("a.txt"), "", false, false, 2,
         "--harvest"},
        {"malformed filter names its term", "1", "len<=5 lenx<=5", dir.file("a.txt"), "", false,
         false, 2, "筛选条件有误：第2项 \"lenx<=5\"：未知条件 lenx"},
        {"the window's own word 关注 would keep no name", "1", "纯数字 关注", dir.file("a.txt"), "",
         false, false, 2, "关注 只能在域名筛选窗口中使用"},
        {"--new-only without history", "1", "", dir.file("a.txt"), "", true, true, 2, "--new-only"},
        {"unknown format", "1", "", dir.file("a.txt"), "pdf", false, false, 2, "--format"},
        {"output under a file", "1", "", dir.file("file") + "/a.txt", "", false, false, 1,
         "无法写入"},
        {"output is a folder", "1", "", dir.path().string(), "", false, false, 1, "无法写入"},
        {"no output", "1", "", "", "", false, false, 2, "--output"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Settings s = settings;
        s.filter = c.filter;
        s.output = c.output;
        s.format = c.format;
        s.newOnly = c.newOnly;
        if (c.noHistory) {
            s.historyPath.clear();
        }
        EXPECT_EQ(harvest(c.pages, s), c.status);
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
    EXPECT_TRUE(sim.requests().empty());
    EXPECT_FALSE(std::filesystem::exists(settings.historyPath));
}

// A malformed score.toml, given or found in the configuration folder, ends the run with 2
// before any request; a good one changes what --explain says.
TEST_F(CliRunsTest, ScoreConfigIsReadBeforeAnyRequest) {
    dir.write("bad.toml", "[pattern]\naabb = \"x\"\n");
    std::filesystem::create_directories(dir.path() / "conf" / "jilan-harvester");
    dir.write("conf/jilan-harvester/score.toml", "[cost]\nhyphen = 5.5\n");
    dir.write("good.toml", "[pattern]\naabb = 30\n");
    const auto env = [this](const std::string& name) -> std::optional<std::string> {
        return name == "XDG_CONFIG_HOME" ? std::optional(dir.file("conf")) : std::nullopt;
    };
    const std::string harvest = "|--harvest|1|--no-history|--output|" + dir.file("out.txt") +
                                "|--market-url|" + sim.baseUrl();
    struct Case {
        std::string line;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {harvest + "|--score-config|" + dir.file("bad.toml"), 2,
         "评分配置有误：" + dir.file("bad.toml") + " 第2行 pattern.aabb："},
        {harvest, 2,
         "评分配置有误：" + dir.file("conf/jilan-harvester/score.toml") + " 第2行 cost.hyphen："},
        {"|--explain|a.com|--score-config|" + dir.file("none.toml"), 2,
         "无法读取评分配置 " + dir.file("none.toml")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> args{"jilan-harvester-cli"};
        std::istringstream in(c.line.substr(1));
        for (std::string arg; std::getline(in, arg, '|');) {
            args.push_back(arg);
        }
        std::ostringstream out, errors;
        EXPECT_EQ(runCommandLine(parseCommandLine(args, env), "cli", out, errors), c.status);
        EXPECT_NE(errors.str().find(c.message), std::string::npos) << errors.str();
    }
    EXPECT_TRUE(sim.requests().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));

    const auto explain = [](const std::vector<std::string>& extra) {
        std::vector<std::string> args{"jilan-harvester-cli", "--explain", "6688.com", "a_b.com"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::ostringstream out, errors;
        EXPECT_EQ(runCommandLine(
                      parseCommandLine(
                          args, [](const std::string&) { return std::optional<std::string>(); }),
                      "cli", out, errors),
                  0)
            << errors.str();
        return out.str();
    };
    const std::string standard = explain({});
    const std::string heavier = explain({"--score-config", dir.file("good.toml")});
    EXPECT_TRUE(standard.starts_with("6688.com\t")) << standard;
    EXPECT_NE(standard.find("AABB 10"), std::string::npos) << standard;
    EXPECT_NE(heavier.find("AABB 30"), std::string::npos) << heavier;
    EXPECT_NE(standard.find("\na_b.com\t-\t无法评分："), std::string::npos) << standard;
}

// Failed listing pages fail the run: 3 when some pages came, 5 (采集失败) when none did, the
// causes counted by kind; the file is written with what came either way.
TEST_F(CliRunsTest, FailedPagesFailTheRunAndNameTheirCauses) {
    std::string downUrl;
    {
        sim::MarketSim down;
        ASSERT_TRUE(down.start()) << down.lastError();
        downUrl = down.baseUrl();
    }
    struct Case {
        const char* rule;
        std::map<int, sim::Fault> faults;
        bool marketDown;
        int status;
        std::string causes;
        std::vector<int> pagesWritten;
    };
    const Case cases[] = {
        {"one page of three fails",
         {{2, sim::Fault::Status500}},
         false,
         3,
         "部分页采集失败：1 页失败（1 页：服务器返回 500）",
         {1, 3}},
        {"every page fails, counted by cause",
         {{1, sim::Fault::Status404}, {2, sim::Fault::Status500}, {3, sim::Fault::Status404}},
         false,
         5,
         "采集失败：全部 3 页失败（2 页：服务器返回 404；1 页：服务器返回 500）",
         {}},
        // A thousand pages asked for: the run gives up after the first pages in flight.
        {"the marketplace is down",
         {},
         true,
         5,
         "页：无法连接服务器）\n交易平台无法连接，其余页未再请求",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        sim.modifyOptions([&c](sim::Options& o) { o.pageFaults = c.faults; });
        Settings s = settings;
        // Retries against a dead server: pages waiting for theirs must not let the run ask
        // for every page meanwhile.
        s.harvest.retries = c.marketDown ? 2 : 0;
        s.harvest.stopAtListingEnd = true;  // as --harvest sets it
        // A file of its own: a run that fetched no page leaves an earlier file as it was.
        s.output = dir.file("partial" + std::to_string(&c - cases) + ".txt");
        if (c.marketDown) {
            s.urls.market = downUrl;
        }
        EXPECT_EQ(harvest(c.marketDown ? "1000" : "3", s), c.status) << err.str();
        EXPECT_NE(err.str().find(c.causes), std::string::npos) << err.str();
        if (c.marketDown) {
            const std::size_t at = err.str().find("全部 ");
            ASSERT_NE(at, std::string::npos) << err.str();
            EXPECT_LE(std::stoi(err.str().substr(at + std::string("全部 ").size())),
                      harvest::kMaxParallel)
                << "pages tried against a dead server";
        }
        std::vector<std::string> expected;
        for (const int page : c.pagesWritten) {
            const auto names = dayNames(1, page);
            expected.insert(expected.end(), names.end() - sim::kMaxRowsPerPage, names.end());
        }
        EXPECT_EQ(lines(readFile(s.output)), expected);
    }
}

// A listing page refused with 429 and "Retry-After: 1" is asked again no sooner than a second
// after the refusal ended (the usual retry pause here is 10 ms), and the run then succeeds.
TEST_F(CliRunsTest, ListingRetryWaitsAsTheServerSays) {
    sim.modifyOptions([](sim::Options& o) {
        o.pageFaults = {{2, sim::Fault::Status429}};
        o.failFirstN = 1;
    });
    Settings s = settings;
    s.output = dir.file("all.txt");
    EXPECT_EQ(harvest("3", s), 0) << err.str();
    EXPECT_EQ(lines(readFile(s.output)), dayNames(1, 3));
    std::vector<sim::RequestRecord> page2;
    for (const auto& r : sim.requests()) {
        if (r.target == "/search?p=2") {
            page2.push_back(r);
        }
    }
    ASSERT_EQ(page2.size(), 2u);
    EXPECT_EQ(page2[0].status, 429);
    EXPECT_GE(page2[1].arrivalMs() - page2[0].completionMs(), 1000);
}

// What the command line itself decides: --harvest stops where the listing ends, --quiet says
// nothing unless the run fails, --query refuses a non-domain before sending and fails with its
// query.
TEST_F(CliRunsTest, CommandLineStopsAtTheListingEndAndIsQuietUnlessItFails) {
    const std::string out = dir.file("out.txt");
    const std::string name = dayNames(1, 1).front();
    struct Case {
        const char* rule;
        std::string line;
        std::map<int, sim::Fault> pageFaults;
        sim::Fault icpFault;
        int status;
        std::string message;  // on stderr; empty: stderr stays empty
        bool printsResult;    // something on stdout
    };
    const Case cases[] = {
        {"a long harvest stops at the last page, quietly",
         "--harvest|500|--quiet",
         {},
         sim::Fault::None,
         0,
         "",
         false},
        {"and says where the listing ended",
         "--harvest|500",
         {},
         sim::Fault::None,
         0,
         "共获取 8 页（列表到第 8 页结束）",
         false},
        {"a quiet run that fails says why",
         "--harvest|500|--quiet",
         {{2, sim::Fault::Status500}},
         sim::Fault::None,
         3,
         "1 页：服务器返回 500",
         false},
        {"a quiet query prints only its result",
         "--query|" + name + "|--quiet",
         {},
         sim::Fault::None,
         0,
         "",
         true},
        {"a failed query is no success",
         "--query|" + name,
         {},
         sim::Fault::Status500,
         3,
         "备案查询失败",
         true},
        {"a name that is not a domain is refused",
         "--query|a..com",
         {},
         sim::Fault::None,
         2,
         "--query 需要域名",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        sim.modifyOptions([&c](sim::Options& o) {
            o.pageFaults = c.pageFaults;
            o.icpFault = c.icpFault;
        });
        sim.clearRequests();
        std::vector<std::string> args{"jilan-harvester-cli", "--market-url", sim.baseUrl(),
                                      "--icp-url", sim.icpBaseUrl()};
        std::istringstream in(c.line);
        for (std::string arg; std::getline(in, arg, '|');) {
            args.push_back(arg);
        }
        if (c.line.starts_with("--harvest")) {
            args.insert(args.end(), {"--no-history", "--parallel", "1", "--output", out});
        }
        std::ostringstream printed, errors;
        const int status = runCommandLine(
            parseCommandLine(args, [](const std::string&) { return std::optional<std::string>(); }),
            "cli", printed, errors);
        EXPECT_EQ(status, c.status) << errors.str();
        EXPECT_EQ(!printed.str().empty(), c.printsResult) << printed.str();
        if (c.message.empty()) {
            EXPECT_EQ(errors.str(), "");
        } else {
            EXPECT_NE(errors.str().find(c.message), std::string::npos) << errors.str();
        }
        int lastPageAsked = 0;
        for (const auto& r : sim.requests()) {
            if (r.target.starts_with("/search?p=")) {
                lastPageAsked = std::max(lastPageAsked, std::stoi(r.target.substr(10)));
            }
        }
        EXPECT_LE(lastPageAsked, kSimPages);
        if (c.status == 2) {
            EXPECT_TRUE(sim.requests().empty());
        }
    }
    EXPECT_EQ(lines(readFile(out)).size(),
              (kSimPages - 1) * static_cast<std::size_t>(sim::kMaxRowsPerPage));
}

// {date} and {time} in the output name, and the folders on the way made.
// Watched names: the listed one gets its details, a missing one is marked only by a harvest
// that reached the listing's end with every page in, and that change waits for the digest.
TEST_F(CliRunsTest, AWatchedNameIsMarkedGoneOnlyAfterACompleteListing) {
    const std::string listed = dayNames(1, 1).front();
    {
        auto store = history::Watchlist::open(settings.historyPath, history::OpenMode::ReadWrite);
        ASSERT_EQ(store.add({listed, "gone-for-good.com"}, std::nullopt, 1), "");
        // Details from long ago, with an ICP state the site will not give again.
        ASSERT_EQ(store.updateDetails(listed, {"", "", "", "旧状态", 1}), "");
    }
    Settings s = settings;
    s.output = dir.file("out.txt");
    s.harvest.stopAtListingEnd = true;
    struct Case {
        const char* rule;
        std::string pages;
        std::map<int, sim::Fault> faults;
        bool marked;
    };
    for (const Case& c :
         {Case{"PartialRunSaysNothing", "3", {}, false},
          Case{"AFailedPageSaysNothing", "500", {{2, sim::Fault::Status500}}, false},
          Case{"TheWholeListingMarksIt", "500", {}, true}}) {
        SCOPED_TRACE(c.rule);
        sim.modifyOptions([&c](sim::Options& o) { o.pageFaults = c.faults; });
        harvest(c.pages, s);
        auto store = history::Watchlist::open(settings.historyPath, history::OpenMode::ReadOnly);
        auto watched = store.list();
        ASSERT_TRUE(watched.has_value());
        std::map<std::string, history::WatchedName> byKey;
        for (history::WatchedName& n : *watched) {
            byKey[n.key] = std::move(n);
        }
        EXPECT_EQ(byKey.at("gone-for-good.com").missingRun.has_value(), c.marked) << err.str();
        EXPECT_FALSE(byKey.at(base::nameKey(listed)).missingRun.has_value());
        EXPECT_GT(byKey.at(base::nameKey(listed)).details.fetchedAt, 0) << err.str();
        // No digest was sent: the changes wait, the ICP one from the first run among them.
        const auto changes = store.unreportedChanges().lines;
        ASSERT_EQ(changes.size(), c.marked ? 2u : 1u);
        EXPECT_EQ(changes[0].rfind("关注变化：" + base::nameKey(listed) + " 备案 旧状态 → ", 0), 0u)
            << changes[0];
        if (c.marked) {
            EXPECT_EQ(changes[1], "关注变化：gone-for-good.com 已不在列表");
        }
    }
}

TEST_F(CliRunsTest, OutputTemplateIsExpandedAndMissingFoldersMade) {
    Settings s = settings;
    s.output = dir.file("daily/{date}/new-{time}.csv");
    ASSERT_EQ(harvest("1", s), 0) << err.str();
    std::vector<std::filesystem::path> made;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path() / "daily")) {
        if (e.is_regular_file()) {
            made.push_back(e.path());
        }
    }
    ASSERT_EQ(made.size(), 1u);
    EXPECT_TRUE(std::regex_match(made[0].filename().string(), std::regex("new-[0-9]{6}\\.csv")));
    EXPECT_TRUE(std::regex_match(made[0].parent_path().filename().string(),
                                 std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")));
    const std::vector<std::string> rows = lines(readFile(made[0].string()));
    ASSERT_EQ(rows.size(), dayNames(1, 1).size() + 1);
    EXPECT_EQ(rows[0].rfind("\xEF\xBB\xBF域名,长度,后缀,类别", 0), 0u);
}

// A signal mid-harvest stops it as the stop button does: what was harvested is written and the
// status says which signal it was.
TEST_F(CliRunsTest, InterruptedHarvestWritesWhatItHasAndExitsBySignal) {
    struct Case {
        const char* rule;
        int signal;
        int status;
    };
    const Case cases[] = {{"SIGINT", SIGINT, 130}, {"SIGTERM", SIGTERM, 143}};
    const std::vector<std::string> all = dayNames(1, kSimPages);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        sim.modifyOptions([](sim::Options& o) {
            o.latencyMs = 0;
            o.pageLatencyMs = {{3, 400}};
        });
        Interruption stop;
        Settings s = settings;
        s.harvest.parallel = 1;
        s.output = dir.file("partial.txt");
        std::thread signaller([&] {
            // Once page 3 has been asked for, the run is mid-harvest.
            for (;;) {
                bool asked = false;
                for (const auto& r : sim.requests()) {
                    asked = asked || r.target.find("p=3") != std::string::npos;
                }
                if (asked) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            stop.request(c.signal);
        });
        std::ostringstream log;
        const int status = runHarvestCommand(std::to_string(kSimPages), s, stop, log);
        signaller.join();
        EXPECT_EQ(status, c.status) << log.str();
        const std::vector<std::string> written = lines(readFile(s.output));
        EXPECT_GE(written.size(), 2u * sim::kMaxRowsPerPage);
        EXPECT_LT(written.size(), all.size());
        EXPECT_TRUE(std::equal(written.begin(), written.end(), all.begin()));
        sim.clearRequests();
    }
}

// --harvest 5 --filter ... --details into a workbook: every column holds what the simulator
// serves; a second run takes everything from the cache and sends no detail or ICP request.
TEST_F(CliRunsTest, HarvestWithDetailsFillsTheWorkbookAndASecondRunAsksNothing) {
    Settings s = settings;
    s.filter = "len<=4";
    s.details = true;
    s.output = dir.file("today.xlsx");
    ASSERT_EQ(harvest("5", s), 0) << err.str();

    const auto compiled = filter::Filter::compile(s.filter);
    std::vector<std::string> expected;
    for (const std::string& d : dayNames(1, 5)) {
        if (std::get<filter::Filter>(compiled).matches(filter::computeFeatures(d), true)) {
            expected.push_back(d);
        }
    }
    ASSERT_FALSE(expected.empty());
    const auto rows = sheetRows(s.output);
    ASSERT_EQ(rows.size(), expected.size() + 1);
    for (std::size_t c = 0; c < exporting::kExportColumns.size(); ++c) {
        EXPECT_EQ(rows[0][c], exporting::captionOf(exporting::kExportColumns[c]));
    }
    using C = exporting::Column;
    const auto at = [](const std::vector<std::string>& row, C c) {
        return row[static_cast<std::size_t>(exporting::placeIn(exporting::kExportColumns, c))];
    };
    int filed = 0, bookingOver = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::vector<std::string>& row = rows[i + 1];
        const sim::DayDomainFacts facts = sim::dayDomainFacts(1, expected[i]);
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(at(row, C::Domain), expected[i]);
        EXPECT_EQ(at(row, C::Runs), "1");
        EXPECT_EQ(at(row, C::DeletionType), facts.deleteType);
        EXPECT_EQ(at(row, C::DeletionTime), facts.deleteTime);
        EXPECT_EQ(at(row, C::BookingDeadline), facts.bookingDeadline);
        EXPECT_EQ(at(row, C::Filed), facts.filed ? "已备案" : "未备案");
        EXPECT_EQ(at(row, C::FilingNumber), facts.filingNumber);
        const std::vector<std::string> prices = {at(row, C::BookingPlatform),
                                                 at(row, C::BookingPrice), at(row, C::PriceInYuan),
                                                 at(row, C::Deposit)};
        // A page whose booking is over carries the sentence where the window shows its price
        // area; its price columns are the detail judge's to decide and are not compared here.
        if (facts.bookingOver) {
            ++bookingOver;
        } else if (facts.priceCells.empty()) {
            EXPECT_EQ(prices, std::vector<std::string>(4));
        } else {
            // An amount alone is a number cell: its value is compared.
            std::vector<std::string> cells = facts.priceCells;
            for (std::string& cell : cells) {
                if (const auto money = exporting::moneyOf(cell)) {
                    cell = numberCellText(money->amount, false);
                }
            }
            EXPECT_EQ(prices, cells);
        }
        EXPECT_EQ(at(row, C::QueryResult), "成功");
        filed += facts.filed ? 1 : 0;
    }
    // The names cover both kinds of filing answer and most have a price table to compare.
    EXPECT_GT(filed, 0);
    EXPECT_LT(filed, static_cast<int>(expected.size()));
    EXPECT_LT(bookingOver, static_cast<int>(expected.size()) / 2);

    sim.clearRequests();
    s.output = dir.file("again.xlsx");
    ASSERT_EQ(harvest("5", s), 0) << err.str();
    for (const auto& r : sim.requests()) {
        EXPECT_EQ(r.target.rfind("/search", 0), 0u) << r.target;
    }
    EXPECT_EQ(sheetRows(s.output).size(), expected.size() + 1);
}

// A real signal to the process reaches the run as a request to stop, not as its end; the
// signal mask is as before once the watch is gone. Each case runs in a child of its own.
TEST(InterruptWatchTest, SignalsBecomeARequestWithTheirExitStatus) {
    struct Case {
        const char* rule;
        int signal;
        int status;
    };
    const Case cases[] = {{"Ctrl+C", SIGINT, 130},
                          {"a stop from the service manager", SIGTERM, 143}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int code = 10;
            {
                Interruption interruption;
                const InterruptWatch watch(interruption);
                ::kill(::getpid(), c.signal);
                while (!interruption.requested) {
                    std::this_thread::yield();
                }
                code = interruption.exitStatus();
            }
            sigset_t mask;
            ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
            ::_exit(sigismember(&mask, c.signal) ? 11 : code - 100);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "the signal ended the process";
        EXPECT_EQ(WEXITSTATUS(status), c.status - 100);
    }
}

// The history search's range is whole local days; an unreadable store still gives a file.
TEST_F(CliRunsTest, SearchHistoryRangeIsWholeLocalDays) {
    Settings s = settings;
    s.output = dir.file("day1.txt");
    ASSERT_EQ(harvest("2", s), 0) << err.str();
    const std::vector<std::string> harvested = dayNames(1, 2);
    std::vector<std::string> sorted = harvested;
    std::sort(sorted.begin(), sorted.end());

    char today[11], yesterday[11], tomorrow[11];
    const std::time_t now = std::time(nullptr);
    for (auto [buffer, shift] :
         {std::pair{today, 0}, std::pair{yesterday, -1}, std::pair{tomorrow, 1}}) {
        std::time_t t = now + shift * 86'400;
        std::tm tm{};
        localtime_r(&t, &tm);
        std::strftime(buffer, sizeof today, "%Y-%m-%d", &tm);
    }
    struct Case {
        const char* rule;
        std::string since, until, path;
        int status;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {"open range: everything, first seen then name", "", "", s.historyPath, 0, sorted},
        {"today to today", today, today, s.historyPath, 0, sorted},
        {"yesterday only", yesterday, yesterday, s.historyPath, 0, {}},
        {"from tomorrow", tomorrow, "", s.historyPath, 0, {}},
        {"no store at that place: an empty file and status 4",
         "",
         "",
         dir.file("none.sqlite3"),
         4,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Settings search = s;
        search.since = c.since;
        search.until = c.until;
        search.historyPath = c.path;
        search.output = dir.file("found.txt");
        err.str({});
        EXPECT_EQ(runSearchHistoryCommand(search, interruption, err), c.status) << err.str();
        std::vector<std::string> found = lines(readFile(search.output));
        // One harvest is one second or two: within a second the names come in name order.
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, c.found);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.sqlite3")));
}

// --details-from: the lines that cannot be names are named and skipped, the filter applies,
// and the table carries what the history knows of each name.
TEST_F(CliRunsTest, DetailsFromListSkipsBadLinesAndKeepsTheFilter) {
    Settings s = settings;
    s.output = dir.file("day1.txt");
    ASSERT_EQ(harvest("1", s), 0) << err.str();
    const std::vector<std::string> listed = dayNames(1, 1);
    std::string list = "\xEF\xBB\xBF" + listed[0] + "\r\n../etc/passwd\r\n\r\n  " + listed[1] +
                       "  \r\nnot.listed.com\r\n" + listed[0] + "\r\n";
    dir.write("names.txt", list);
    s.output = dir.file("names.csv");
    s.filter = "!has=zzz";
    err.str({});
    ASSERT_EQ(runDetailsFromCommand(dir.file("names.txt"), s, interruption, err), 0) << err.str();
    EXPECT_NE(err.str().find("第 2 行"), std::string::npos) << err.str();
    const std::vector<std::string> rows = lines(readFile(s.output));
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<std::string> expected = {listed[0], listed[1], "not.listed.com"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(rows[i + 1].substr(0, rows[i + 1].find(',')), expected[i]);
        // 次数: the harvest saw the first two once; the third was never listed.
        std::vector<std::string> cells;
        std::stringstream cellStream(rows[i + 1]);
        for (std::string cell; std::getline(cellStream, cell, ',');) {
            cells.push_back(cell);
        }
        ASSERT_GT(cells.size(), 8u);
        EXPECT_EQ(cells[8], i < 2 ? "1" : "");
    }
}

// Details need a table: a txt output is refused before any request. With a list longer than
// --max-names, the names beyond it are kept in the file, marked, and never asked.
TEST_F(CliRunsTest, DetailsRefuseATextFileAndKeepTheNamesBeyondTheCap) {
    Settings s = settings;
    s.details = true;
    s.output = dir.file("a.txt");
    EXPECT_EQ(harvest("1", s), 2);
    EXPECT_NE(err.str().find("csv"), std::string::npos) << err.str();
    EXPECT_TRUE(sim.requests().empty());

    const std::vector<std::string> listed = dayNames(1, 1);
    dir.write("three.txt", listed[0] + "\n" + listed[1] + "\n" + listed[2] + "\n");
    s.output = dir.file("three.csv");
    s.maxNames = 1;
    err.str({});
    ASSERT_EQ(runDetailsFromCommand(dir.file("three.txt"), s, interruption, err), 0) << err.str();
    const std::vector<std::string> rows = lines(readFile(s.output));
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i]);
        EXPECT_TRUE(rows[i].starts_with(listed[i - 1]));
        EXPECT_EQ(rows[i].find("未查询（超过上限）") != std::string::npos, i > 1);
    }
    std::size_t detailRequests = 0;
    for (const auto& r : sim.requests()) {
        detailRequests += r.target.starts_with("/backorder/") ? 1 : 0;
    }
    EXPECT_EQ(detailRequests, 1u);
}

// --sort: every run that writes a file writes the same names in the order asked for: by score
// (highest first, ties by name) or by name; without it, in the order found. A list run with
// --max-names queries the first names of the new order.
TEST_F(CliRunsTest, SortOrdersEveryRunsOutput) {
    Settings s = settings;
    s.output = dir.file("listed.txt");
    ASSERT_EQ(harvest("2", s), 0) << err.str();
    const std::vector<std::string> listed = dayNames(1, 2);
    ASSERT_EQ(lines(readFile(s.output)), listed);

    const filter::ScoreWeights weights = filter::defaultScoreWeights();
    const auto sortedBy = [&](std::vector<std::string> names, bool byScore) {
        std::stable_sort(names.begin(), names.end(), [&](const auto& a, const auto& b) {
            const int sa = filter::scoreName(filter::computeFeatures(a), weights).value;
            const int sb = filter::scoreName(filter::computeFeatures(b), weights).value;
            if (byScore && sa != sb) {
                return sa > sb;
            }
            return base::nameKey(a) < base::nameKey(b);
        });
        return names;
    };
    const std::vector<std::string> tenListed(listed.begin(), listed.begin() + 10);
    const std::vector<std::string> tenByScore = sortedBy(tenListed, true);
    dir.write("ten.txt", [&] {
        std::string text;
        for (const std::string& d : tenListed) {
            text += d + "\n";
        }
        return text;
    }());

    enum class Run { Harvest, Search, List };
    struct Case {
        const char* rule;
        Run run;
        OutputOrder order;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"harvest by score", Run::Harvest, OutputOrder::Score, sortedBy(listed, true)},
        {"harvest by name", Run::Harvest, OutputOrder::Name, sortedBy(listed, false)},
        {"harvest as listed", Run::Harvest, OutputOrder::AsFound, listed},
        {"history search by score", Run::Search, OutputOrder::Score, sortedBy(listed, true)},
        {"history search by name", Run::Search, OutputOrder::Name, sortedBy(listed, false)},
        {"list run: all ten by score, the five best queried", Run::List, OutputOrder::Score,
         tenByScore},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Settings run = settings;
        run.order = c.order;
        run.output = dir.file("sorted.txt");
        err.str({});
        int status = 0;
        if (c.run == Run::Harvest) {
            status = harvest("2", run);
        } else if (c.run == Run::Search) {
            status = runSearchHistoryCommand(run, interruption, err);
        } else {
            run.output = dir.file("sorted.csv");
            run.maxNames = 5;
            status = runDetailsFromCommand(dir.file("ten.txt"), run, interruption, err);
        }
        ASSERT_EQ(status, 0) << err.str();
        std::vector<std::string> written = lines(readFile(run.output));
        if (c.run == Run::List) {
            written.erase(written.begin());  // the header
            for (std::size_t i = 0; i < written.size(); ++i) {
                // The five beyond --max-names are kept, marked, never asked.
                EXPECT_EQ(written[i].find("未查询（超过上限）") != std::string::npos, i >= 5)
                    << written[i];
                written[i] = written[i].substr(0, written[i].find(','));
            }
        }
        EXPECT_EQ(written, c.expected);
    }
}

}  // namespace
}  // namespace jilan::cli

namespace jilan::cli {
namespace {
namespace jsonl {

// The cells of CSV lines (RFC 4180 quoting), without the ' that guards a formula-like cell.
std::vector<std::string> csvCells(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            cells.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    for (std::string& cell : cells) {
        if (cell.size() > 1 && cell[0] == '\'' &&
            std::string_view("=+-@\t\r").find(cell[1]) != std::string_view::npos) {
            cell.erase(0, 1);
        }
    }
    return cells;
}

// What the JSON value of a CSV cell must be, by the column's kind.
void expectAgrees(const nlohmann::json& value, const std::string& cell, exporting::JsonValue kind,
                  const std::string& key) {
    SCOPED_TRACE(key + " = " + cell);
    if (cell.empty()) {
        EXPECT_TRUE(value.is_null()) << value;
        return;
    }
    std::smatch m;
    const std::regex time("([0-9]{4}-[0-9]{2}-[0-9]{2}) ([0-9]{2}:[0-9]{2})(:[0-9]{2})?");
    const std::regex yuan("([0-9]+(\\.[0-9]+)?)元");
    using K = exporting::JsonValue;
    if (kind == K::Number || (kind == K::Yuan && std::regex_match(cell, m, yuan))) {
        ASSERT_TRUE(value.is_number()) << value;
        EXPECT_DOUBLE_EQ(value.get<double>(), std::stod(cell));
    } else if ((kind == K::SiteTime || kind == K::LocalTime) && std::regex_match(cell, m, time)) {
        ASSERT_TRUE(value.is_string()) << value;
        const std::string iso = m[1].str() + "T" + m[2].str() + (m[3].matched ? m[3].str() : ":00");
        if (kind == K::SiteTime) {
            EXPECT_EQ(value.get<std::string>(), iso + "+08:00");
        } else {
            EXPECT_TRUE(std::regex_match(value.get<std::string>(),
                                         std::regex(iso + "[+-][0-9]{2}:[0-9]{2}")))
                << value;
        }
    } else {
        EXPECT_EQ(value, nlohmann::json(cell));
    }
}

}  // namespace jsonl

// A harvest written as JSON Lines against the CSV of the same names, sightings and details read
// back from the history it recorded: every line parses, under every column's key, and each value
// is the CSV cell as a number, a time with its offset, or the same text.
TEST_F(CliRunsTest, JsonLinesOfAHarvestAgreeWithItsCsv) {
    Settings s = settings;
    s.filter = "len<=5";
    s.details = true;
    s.output = dir.file("today.jsonl");
    ASSERT_EQ(harvest("3", s), 0) << err.str();
    s.output = dir.file("today.csv");
    err.str({});
    ASSERT_EQ(runSearchHistoryCommand(s, interruption, err), 0) << err.str();

    std::map<std::string, std::vector<std::string>> csv;
    const std::vector<std::string> csvLines = lines(readFile(s.output));
    for (std::size_t i = 1; i < csvLines.size(); ++i) {
        std::vector<std::string> cells = jsonl::csvCells(csvLines[i]);
        ASSERT_EQ(cells.size(), exporting::kExportColumns.size()) << csvLines[i];
        csv[cells[0]] = std::move(cells);
    }
    const std::string text = readFile(dir.file("today.jsonl"));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::istringstream jsonLines(text);
    std::set<std::string> seen;
    int queried = 0;
    for (std::string line; std::getline(jsonLines, line);) {
        const nlohmann::json object = nlohmann::json::parse(line);  // throws: the test fails
        ASSERT_TRUE(object.is_object());
        EXPECT_EQ(object.size(), exporting::kExportColumns.size()) << line;
        const std::string domain = object.at("domain").get<std::string>();
        ASSERT_TRUE(csv.contains(domain)) << domain;
        seen.insert(domain);
        for (std::size_t c = 0; c < exporting::kExportColumns.size(); ++c) {
            const exporting::JsonField& field =
                exporting::specOf(exporting::kExportColumns[c]).json;
            ASSERT_TRUE(object.contains(field.key)) << "no key for column " << c;
            jsonl::expectAgrees(object.at(field.key), csv[domain][c], field.value,
                                std::string(field.key));
        }
        queried += object.at("deletion_time").is_string() ? 1 : 0;
    }
    EXPECT_EQ(seen.size(), csv.size());
    EXPECT_GT(queried, 0);
}

}  // namespace
}  // namespace jilan::cli
