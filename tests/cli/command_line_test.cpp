// Options: what each command line asks for, and which ones are refused.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace jilan::cli {
namespace {

std::optional<std::string> noEnv(const std::string&) {
    return std::nullopt;
}

std::optional<std::string> xdgEnv(const std::string& name) {
    if (name == "XDG_DATA_HOME") {
        return "/data/home";
    }
    return std::nullopt;
}

// The arguments of a line, split at `separator` (" " or "|", so that a filter can hold spaces).
std::vector<std::string> argsOf(const std::string& line, char separator = ' ') {
    std::vector<std::string> args{"jilan-harvester"};
    if (line.empty()) {
        return args;
    }
    std::istringstream in(line);
    for (std::string arg; std::getline(in, arg, separator);) {
        args.push_back(arg);
    }
    return args;
}

bool mentions(const ParsedCommandLine& parsed, const std::string& text) {
    for (const std::string& error : parsed.errors) {
        if (error.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

struct ModeCase {
    std::string line;
    RunMode mode;
    std::string pages, output, domain;
    int parallel;  // 0: the harvester's default
};

TEST(CommandLine, Modes) {
    const int defaultParallel = harvest::HarvestOptions{}.parallel;
    const std::vector<ModeCase> cases = {
        {"", RunMode::Window, "", "", "", 0},
        {"--help", RunMode::Help, "", "", "", 0},
        {"-h", RunMode::Help, "", "", "", 0},
        {"--help-all", RunMode::Help, "", "", "", 0},
        {"--version", RunMode::Version, "", "", "", 0},
        {"--harvest 20 --output today.txt", RunMode::Harvest, "20", "today.txt", "", 0},
        {"--harvest 3 --parallel 2 --output a.txt", RunMode::Harvest, "3", "a.txt", "", 2},
        {"--harvest 32767 --output a.txt", RunMode::Harvest, "32767", "a.txt", "", 0},
        {"-harvest 4 -output=a.txt", RunMode::Harvest, "4", "a.txt", "", 0},
        {"--harvest 1 --output -", RunMode::Harvest, "1", "-", "", 0},
        {"--query example.com", RunMode::Query, "", "", "example.com", 0},
        {"--parallel 8", RunMode::Window, "", "", "", 8},
        {"--parallel=1", RunMode::Window, "", "", "", 1},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.line);
        const ParsedCommandLine parsed = parseCommandLine(argsOf(c.line), noEnv);
        ASSERT_TRUE(parsed.ok()) << parsed.errors.front();
        EXPECT_EQ(parsed.settings.mode, c.mode);
        EXPECT_EQ(parsed.settings.pages, c.pages);
        EXPECT_EQ(parsed.settings.output, c.output);
        EXPECT_EQ(parsed.settings.domain, c.domain);
        EXPECT_EQ(parsed.settings.harvest.parallel, c.parallel == 0 ? defaultParallel : c.parallel);
    }
}

TEST(CommandLine, RefusedWithTheWordAtFault) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--parallel 0", "--parallel"},
        {"--parallel 9", "--parallel"},
        {"--parallel many", "--parallel"},
        {"--market-url ftp://x.cn", "market-url"},
        {"--icp-url http://", "icp-url"},
        {"--forum-url javascript:alert(1)", "forum-url"},
        {"--home-url /home", "home-url"},
        {"--harvest 2 --query a.cn", "--query"},
        {"--output a.txt", "--output"},
        {"--pages 3", "未知选项：--pages"},
        {"-x --bogus", "未知选项：-x、--bogus"},
        {"--query", "选项 --query 后缺少值"},
        {"--new-only=yes --harvest 1 --output a", "选项 --new-only 不带值"},
        {"extra", "多余的参数：extra"},
        {"--harvest 1 --output a -- --more", "多余的参数：--more"},
        {"--explain", "--explain 需要至少一个域名"},
        {"--harvest 0 --output a", "--harvest 需要页数"},
        {"--harvest -3 --output a", "--harvest 需要页数"},
        {"--harvest +5 --output a", "--harvest 需要页数"},
        {"--harvest 2.5 --output a", "--harvest 需要页数"},
        {"--harvest 32768 --output a", "--harvest 最多 32767 页"},
        {"--harvest 900000000000 --output a", "--harvest 最多 32767 页"},
        {"--query a..com", "--query 需要域名"},
        {"--query http://a.com/", "--query 需要域名"},
        {"--quiet", "--quiet 只能与"},
        {"--explain a.com --query b.com", "--query"},
        {"--score-config s.toml", "--score-config 只能与"},
        {"--explain a.com --score-config=", "--score-config 需要文件名"},
    };
    for (const auto& [line, text] : cases) {
        SCOPED_TRACE(line);
        const ParsedCommandLine parsed = parseCommandLine(argsOf(line), noEnv);
        ASSERT_FALSE(parsed.ok());
        EXPECT_TRUE(mentions(parsed, text)) << parsed.errors.front();
        EXPECT_FALSE(needsWindow(argsOf(line), noEnv));
    }
}

TEST(CommandLine, ExplainTakesTheNamesAndTheScoreConfig) {
    const auto env = [](const std::string& name) -> std::optional<std::string> {
        return name == "XDG_CONFIG_HOME" ? std::optional<std::string>("/conf") : std::nullopt;
    };
    const ParsedCommandLine byDefault = parseCommandLine(argsOf("--explain 888.com -- -a.cn"), env);
    ASSERT_TRUE(byDefault.ok()) << byDefault.errors.front();
    EXPECT_EQ(byDefault.settings.mode, RunMode::Explain);
    EXPECT_EQ(byDefault.settings.explainNames, (std::vector<std::string>{"888.com", "-a.cn"}));
    EXPECT_EQ(byDefault.settings.scoreConfig, "/conf/jilan-harvester/score.toml");
    EXPECT_FALSE(byDefault.settings.scoreConfigGiven);

    const ParsedCommandLine given =
        parseCommandLine(argsOf("--harvest 1 --output a.txt --score-config my.toml"), env);
    ASSERT_TRUE(given.ok()) << given.errors.front();
    EXPECT_EQ(given.settings.scoreConfig, "my.toml");
    EXPECT_TRUE(given.settings.scoreConfigGiven);
}

TEST(CommandLine, UrlsFromDefaultsEnvironmentAndOptions) {
    const auto env = [](const std::string& name) -> std::optional<std::string> {
        if (name == "JILAN_MARKET_URL") {
            return "http://env-market.example";
        }
        if (name == "JILAN_HOME_URL") {
            return "http://env-home.example/";
        }
        return std::nullopt;
    };
    const ParsedCommandLine parsed = parseCommandLine(
        argsOf("--home-url http://option-home.example/ --forum-url https://forum.example/bbs"),
        env);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.settings.urls.market, "http://env-market.example");
    EXPECT_EQ(parsed.settings.urls.home, "http://option-home.example/");
    EXPECT_EQ(parsed.settings.urls.forum, "https://forum.example/bbs");
    EXPECT_EQ(parsed.settings.urls.icp, config::defaultUrls().icp);
}

TEST(CommandLine, WindowDecision) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},
        {"--market-url http://a.example", true},
        {"-platform offscreen", true},
        {"--style fusion --parallel 2", true},
        {"--harvest 3 --output a.txt", false},
        {"-platform offscreen --query a.cn", false},
        {"--help", false},
        {"-v", false},
        {"--bogus", false},
        {"--market-url ftp://x", false},
    };
    for (const auto& [line, window] : cases) {
        EXPECT_EQ(needsWindow(argsOf(line), noEnv), window) << line;
    }
}

struct RunCase {
    std::string line;  // arguments separated by "|"
    RunMode mode;
    std::string filter, format, history;
    bool newOnly, details;
    std::string range;  // since..until
    std::size_t maxNames;
    int pauseMs, maxAgeHours;
};

TEST(CommandLine, RunOptions) {
    const std::string home = "/data/home/jilan-harvester/history.sqlite3";
    const std::vector<RunCase> cases = {
        {"--harvest|2|--output|a.txt", RunMode::Harvest, "", "", home, false, false, "..", 1000,
         1000, 12},
        {"--harvest|2|--output|a.csv|--filter|len<=5 纯数字|--new-only|--history|/h.db",
         RunMode::Harvest, "len<=5 纯数字", "", "/h.db", true, false, "..", 1000, 1000, 12},
        {"--harvest|1|--output|-|--no-history", RunMode::Harvest, "", "", "", false, false, "..",
         1000, 1000, 12},
        {"--harvest|5|--output|t.xlsx|--details|--pause-ms|20|--max-age-hours|0", RunMode::Harvest,
         "", "", home, false, true, "..", 1000, 20, 0},
        {"--harvest|1|--output|a.txt|--format|CSV", RunMode::Harvest, "", "csv", home, false, false,
         "..", 1000, 1000, 12},
        {"--search-history|--since|2026-12-01|--until|2026-12-07|--output|f.txt",
         RunMode::SearchHistory, "", "", home, false, false, "2026-12-01..2026-12-07", 1000, 1000,
         12},
        {"--search-history|--details|--max-names|50|--output|f.csv", RunMode::SearchHistory, "", "",
         home, false, true, "..", 50, 1000, 12},
        {"--details-from|names.txt|--output|d.xlsx", RunMode::DetailsFrom, "", "", home, false,
         true, "..", 1000, 1000, 12},
        {"--stats|--since|2026-11-01|--filter|纯数字|--format|csv", RunMode::Stats, "纯数字", "csv",
         home, false, false, "2026-11-01..", 1000, 1000, 12},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.line);
        const ParsedCommandLine parsed = parseCommandLine(argsOf(c.line, '|'), xdgEnv);
        ASSERT_TRUE(parsed.ok()) << parsed.errors.front();
        const Settings& s = parsed.settings;
        EXPECT_EQ(s.mode, c.mode);
        EXPECT_EQ(s.filter, c.filter);
        EXPECT_EQ(s.format, c.format);
        EXPECT_EQ(s.historyPath, c.history);
        EXPECT_EQ(s.newOnly, c.newOnly);
        EXPECT_EQ(s.details, c.details);
        EXPECT_EQ(s.since + ".." + s.until, c.range);
        EXPECT_EQ(s.maxNames, c.maxNames);
        EXPECT_EQ(s.pauseMs, c.pauseMs);
        EXPECT_EQ(s.maxAgeHours, c.maxAgeHours);
        EXPECT_FALSE(needsWindow(argsOf(c.line, '|'), xdgEnv));
    }
}

TEST(CommandLine, RefusedRunOptions) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--harvest|1|--output|a.txt|--filter|len<=5 lenx<=5",
         "筛选条件有误：第2项 \"lenx<=5\"：未知条件 lenx"},
        {"--harvest|1|--output|a.txt|--new-only|--no-history", "--new-only"},
        {"--search-history|--output|a.txt|--new-only", "--new-only"},
        {"--search-history|--output|a.txt|--no-history", "--search-history"},
        {"--harvest|1|--output|a|--history|h|--no-history", "--no-history"},
        {"--harvest|1|--output|a.txt|--format|pdf", "--format"},
        {"--search-history|--output|a.txt|--since|2026-02-30", "--since"},
        {"--search-history|--output|a.txt|--until|7.12.2026", "--until"},
        {"--search-history|--output|a|--since|2026-12-07|--until|2026-12-01", "--since"},
        {"--harvest|1|--output|a.txt|--since|2026-12-01", "--since"},
        {"--details", "--details"},
        {"--search-history|--details|--output|a|--max-names|0", "--max-names"},
        {"--harvest|1|--details|--output|a|--pause-ms|-1", "--pause-ms"},
        {"--harvest|1|--output|a|--pause-ms|10", "--pause-ms"},
        {"--search-history", "--output"},
        {"--details-from|l.txt|--harvest|1|--output|a", "不能同用"},
        {"--filter|len<=5", "--filter"},
        {"--note|x", "--note 只能与"},
        {"--watchlist|--format|xlsx", "--watchlist 的 --format"},
        {"--watch|a.com|--no-history", "--no-history"},
        {"--watch", "--watch 需要至少一个域名"},
        {"--unwatch|a.com|--watch|b.com", "不能同用"},
        {"--remind|--notify", "--remind 不能与"},
        {"--search-history|--output|a.txt|--watch|b.com", "不能同用"},
        {"--stats|--since|2026-12-32", "--since 需要日期"},
        {"--stats|--format|xlsx", "--stats 的 --format 只能是 txt 或 csv"},
        {"--stats|--no-history", "--stats 需要历史记录"},
        {"--stats|--until|2026-12-01", "--until"},
    };
    for (const auto& [line, text] : cases) {
        SCOPED_TRACE(line);
        const ParsedCommandLine parsed = parseCommandLine(argsOf(line, '|'), xdgEnv);
        ASSERT_FALSE(parsed.ok());
        EXPECT_TRUE(mentions(parsed, text)) << parsed.errors.front();
        EXPECT_FALSE(needsWindow(argsOf(line, '|'), xdgEnv));
    }
}

TEST(CommandLine, WatchlistRunsTakeTheirNamesNoteAndFiles) {
    struct Case {
        std::string line;
        RunMode mode;
        std::vector<std::string> names;
        std::optional<std::string> note;
        std::string watchFrom, output, notifyConfig;
    };
    const std::vector<Case> cases = {
        {"--watch|a.com|B.cn|--note|先看", RunMode::Watch, {"a.com", "B.cn"}, "先看", "", "", ""},
        {"--note|先看|--watch|a.com", RunMode::Watch, {"a.com"}, "先看", "", "", ""},
        {"--watch-from|l.txt", RunMode::Watch, {}, std::nullopt, "l.txt", "", ""},
        {"--unwatch|a.com", RunMode::Unwatch, {"a.com"}, std::nullopt, "", "", ""},
        {"--watchlist|--format|csv|--output|w.csv",
         RunMode::Watchlist,
         {},
         std::nullopt,
         "",
         "w.csv",
         ""},
        {"--remind|--notify-config|n.toml", RunMode::Remind, {}, std::nullopt, "", "", "n.toml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const ParsedCommandLine parsed = parseCommandLine(argsOf(c.line, '|'), xdgEnv);
        ASSERT_TRUE(parsed.ok()) << parsed.errors.front();
        EXPECT_EQ(parsed.settings.mode, c.mode);
        EXPECT_EQ(parsed.settings.watchNames, c.names);
        EXPECT_EQ(parsed.settings.note, c.note);
        EXPECT_EQ(parsed.settings.watchFrom, c.watchFrom);
        EXPECT_EQ(parsed.settings.output, c.output);
        if (!c.notifyConfig.empty()) {
            EXPECT_EQ(parsed.settings.notifyConfig, c.notifyConfig);
        }
        EXPECT_FALSE(parsed.settings.historyPath.empty());
        EXPECT_FALSE(needsWindow(argsOf(c.line, '|'), xdgEnv));
    }
}

// The window's 批量查询 takes --pause-ms; the other pacing options stay with --details.
TEST(CommandLine, WindowPacing) {
    const std::vector<std::tuple<std::string, bool, int>> cases = {
        {"", true, 1000},
        {"--pause-ms|20", true, 20},
        {"--pause-ms|0", true, 0},
        {"--pause-ms|-5", false, 1000},
        {"--max-age-hours|1", false, 1000},
    };
    for (const auto& [line, accepted, pauseMs] : cases) {
        SCOPED_TRACE(line);
        const ParsedCommandLine parsed = parseCommandLine(argsOf(line, '|'), xdgEnv);
        EXPECT_EQ(parsed.ok(), accepted);
        EXPECT_EQ(parsed.settings.mode, RunMode::Window);
        EXPECT_EQ(needsWindow(argsOf(line, '|'), xdgEnv), accepted);
        if (accepted) {
            EXPECT_EQ(parsed.settings.pauseMs, pauseMs);
        }
    }
}

// Help names every option of the table, every exit code, in Chinese; both programs' texts.
TEST(CommandLine, HelpNamesEveryOptionAndExitCode) {
    for (const std::string program : {"jilan-harvester", "jilan-harvester-cli"}) {
        const std::string help = helpText(program);
        for (const char* option :
             {"--market-url",  "--icp-url",  "--forum-url",     "--home-url",
              "--parallel",    "--harvest",  "--output",        "--query",
              "--help",        "--version",  "--history",       "--no-history",
              "--filter",      "--new-only", "--format",        "--search-history",
              "--since",       "--until",    "--details",       "--details-from",
              "--max-names",   "--pause-ms", "--max-age-hours", "--explain",
              "--score-config"}) {
            EXPECT_NE(help.find(option), std::string::npos) << option;
        }
        for (const char* code :
             {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  130 ", "\n  143 "}) {
            EXPECT_NE(help.find(code), std::string::npos) << code;
        }
        EXPECT_TRUE(help.starts_with("用法：" + program + " [选项]"));
        EXPECT_EQ(versionText(program).find(program + " " + JILAN_VERSION), 0U);
    }
    EXPECT_NE(helpText("jilan-harvester").find("时打开窗口"), std::string::npos);
    EXPECT_EQ(helpText("jilan-harvester-cli").find("时打开窗口"), std::string::npos);
}

}  // namespace
}  // namespace jilan::cli
