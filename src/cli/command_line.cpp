#include "command_line.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <variant>

#include "base/ascii_case.h"
#include "cli_run.h"
#include "config/sites_file.h"
#include "filter/filter_expr.h"
#include "filter/score_config.h"
#include "history/stats.h"
#include "history/store.h"
#include "name_list_file.h"
#include "push/notify_config.h"

#ifndef JILAN_VERSION
#define JILAN_VERSION "0"
#endif

namespace jilan::cli {

namespace {

constexpr std::string_view kMarketUrl = "market-url";
constexpr std::string_view kIcpUrl = "icp-url";
constexpr std::string_view kForumUrl = "forum-url";
constexpr std::string_view kHomeUrl = "home-url";
constexpr std::string_view kParallel = "parallel";
constexpr std::string_view kHarvest = "harvest";
constexpr std::string_view kOutput = "output";
constexpr std::string_view kQuery = "query";
constexpr std::string_view kHelp = "help";
constexpr std::string_view kVersion = "version";
constexpr std::string_view kHistory = "history";
constexpr std::string_view kNoHistory = "no-history";
constexpr std::string_view kFilter = "filter";
constexpr std::string_view kNewOnly = "new-only";
constexpr std::string_view kFormat = "format";
constexpr std::string_view kSearchHistory = "search-history";
constexpr std::string_view kSince = "since";
constexpr std::string_view kUntil = "until";
constexpr std::string_view kDetails = "details";
constexpr std::string_view kDetailsFrom = "details-from";
constexpr std::string_view kMaxNames = "max-names";
constexpr std::string_view kPauseMs = "pause-ms";
constexpr std::string_view kMaxAgeHours = "max-age-hours";
constexpr std::string_view kExplain = "explain";
constexpr std::string_view kScoreConfig = "score-config";
constexpr std::string_view kQuiet = "quiet";
constexpr std::string_view kCheckHistory = "check-history";
constexpr std::string_view kRestoreHistory = "restore-history";
constexpr std::string_view kYes = "yes";
constexpr std::string_view kNotify = "notify";
constexpr std::string_view kNotifyConfig = "notify-config";
constexpr std::string_view kNotifyTest = "notify-test";
constexpr std::string_view kNotifyResend = "notify-resend";
constexpr std::string_view kSort = "sort";
constexpr std::string_view kWatch = "watch";
constexpr std::string_view kUnwatch = "unwatch";
constexpr std::string_view kWatchlist = "watchlist";
constexpr std::string_view kWatchFrom = "watch-from";
constexpr std::string_view kNote = "note";
constexpr std::string_view kRemind = "remind";
constexpr std::string_view kStats = "stats";

// Options the window toolkit takes out of the arguments itself when the window opens (the
// application object and the X11 platform).
bool toolkitOption(std::string_view name) {
    static const std::set<std::string_view> kNames = {
        "platform",
        "platformpluginpath",
        "platformtheme",
        "plugin",
        "qmljsdebugger",
        "qwindowgeometry",
        "qwindowicon",
        "qwindowtitle",
        "reverse",
        "session",
        "style",
        "stylesheet",
        "widgetcount",
        "display",
        "geometry",
        "title",
        "name",
        "visual",
        "ncols",
        "cmap",
        "nograb",
        "dograb",
        "sync",
        "fn",
        "bg",
        "fg",
        "btn",
        "im",
        "inputstyle",
        "dialogs",
    };
    return kNames.contains(name);
}

std::string numberRange(int low, int high) {
    return std::to_string(low) + " 到 " + std::to_string(high);
}

// The arguments split into options (by their table entry) and the rest.
struct Scanned {
    std::map<std::string_view, std::string> values;  // by the option's first name; last wins
    std::vector<std::string> positional;
    std::vector<std::string> unknown;  // names as typed, without dashes
    std::string missingValue;          // the first option typed without its value
    std::string unexpectedValue;       // the first switch typed with "=value"
    bool isSet(std::string_view name) const { return values.contains(name); }
    const std::string& value(std::string_view name) const { return values.at(name); }
};

const OptionSpec* findOption(std::string_view name) {
    for (const OptionSpec& entry : optionTable()) {
        if (entry.shortName == name ||
            std::find(entry.names.begin(), entry.names.end(), name) != entry.names.end()) {
            return &entry;
        }
    }
    return nullptr;
}

Scanned scan(const std::vector<std::string>& args) {
    Scanned scanned;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            scanned.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // A single dash starts a long name too: -harvest 3 is --harvest 3.
        std::string_view name(arg);
        name.remove_prefix(arg.starts_with("--") ? 2 : 1);
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('='); equals != std::string_view::npos) {
            inlineValue = std::string(name.substr(equals + 1));
            name = name.substr(0, equals);
        }
        const OptionSpec* entry = findOption(name);
        if (entry == nullptr) {
            scanned.unknown.emplace_back(name);
            continue;
        }
        const std::string_view key = entry->names.front();
        if (entry->valueName.empty()) {
            if (inlineValue && scanned.unexpectedValue.empty()) {
                scanned.unexpectedValue = std::string(arg.substr(0, arg.find('=')));
            }
            scanned.values[key] = std::string();
        } else if (inlineValue) {
            scanned.values[key] = *inlineValue;
        } else if (i + 1 < args.size()) {
            scanned.values[key] = args[++i];
        } else if (scanned.missingValue.empty()) {
            scanned.missingValue = arg;
        }
    }
    return scanned;
}

// The scanner's complaint: unknown options by name, else a missing or unexpected value.
std::optional<std::string> scanError(const Scanned& scanned) {
    if (!scanned.unknown.empty()) {
        std::string text = "未知选项：";
        for (std::size_t i = 0; i < scanned.unknown.size(); ++i) {
            const std::string& name = scanned.unknown[i];
            text += (i == 0 ? "" : "、") + std::string(name.size() == 1 ? "-" : "--") + name;
        }
        return text;
    }
    if (!scanned.missingValue.empty()) {
        return "选项 " + scanned.missingValue + " 后缺少值";
    }
    if (!scanned.unexpectedValue.empty()) {
        return "选项 " + scanned.unexpectedValue + " 不带值";
    }
    return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A whole number written in decimal, with an optional sign.
std::optional<long long> wholeNumber(std::string_view text) {
    text = trimmed(text);
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A whole number within [low, high] typed for `option`, or an error line.
template <typename Number>
void readNumber(const Scanned& scanned, std::string_view option, int low, int high, Number& value,
                std::vector<std::string>& errors) {
    if (!scanned.isSet(option)) {
        return;
    }
    const std::optional<long long> n = wholeNumber(scanned.value(option));
    if (!n || *n < low || *n > high) {
        errors.push_back("--" + std::string(option) + " 需要 " + numberRange(low, high) +
                         " 之间的整数，不能是 \"" + scanned.value(option) + "\"");
        return;
    }
    value = static_cast<Number>(*n);
}

// The page count of --harvest: digits only (no sign, no fraction), 1 to the last page the
// 16-bit page counter reaches; an error line otherwise.
std::optional<std::string> harvestPagesProblem(const std::string& text) {
    const std::string_view digits =
        std::string_view(text).substr(std::min(text.find_first_not_of('0'), text.size()));
    const bool allDigits =
        !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    const auto quoted = "\"" + text + "\"";
    if (!allDigits || digits.empty()) {
        return "--harvest 需要页数，不能是 " + quoted + "：请给出 1 到 " +
               std::to_string(harvest::kLastPage) + " 之间的整数";
    }
    if (digits.size() > 5 || std::stoi(std::string(digits)) > harvest::kLastPage) {
        return "--harvest 最多 " + std::to_string(harvest::kLastPage) + " 页，不能是 " + quoted;
    }
    return std::nullopt;
}

bool writesFile(RunMode mode) {
    return mode == RunMode::Harvest || mode == RunMode::SearchHistory ||
           mode == RunMode::DetailsFrom;
}

// The file of the score's weights: given, or the default one when it exists; read only once
// the command line is known to be right (loadScoreWeights), still before any request.
void readScoreConfigOption(const Scanned& scanned, const config::EnvLookup& env, Settings& settings,
                           std::vector<std::string>& errors) {
    const bool scores = settings.mode == RunMode::Explain || writesFile(settings.mode) ||
                        settings.mode == RunMode::Stats;
    if (scanned.isSet(kScoreConfig)) {
        if (!scores) {
            errors.emplace_back(
                "--score-config 只能与 --explain、--harvest、--search-history 或 --details-from "
                "同用");
        } else if (scanned.value(kScoreConfig).empty()) {
            errors.emplace_back("--score-config 需要文件名");
        }
        settings.scoreConfig = scanned.value(kScoreConfig);
        settings.scoreConfigGiven = true;
    } else if (scores || settings.mode == RunMode::Window) {
        // The window's 评分 column reads the same file.
        settings.scoreConfig = filter::defaultScoreConfigPath(
            [&env](const char* name) { return env(std::string(name)); });
    }
}

// The options of the history, the filter, the output format and the batch details.
void readRunOptions(const Scanned& scanned, const config::EnvLookup& env, Settings& settings,
                    std::vector<std::string>& errors) {
    const bool harvest = settings.mode == RunMode::Harvest;
    const bool search = settings.mode == RunMode::SearchHistory;
    const bool listRun = settings.mode == RunMode::DetailsFrom;
    const bool writes = writesFile(settings.mode);
    const bool stats = settings.mode == RunMode::Stats;

    const bool noHistory = scanned.isSet(kNoHistory);
    if (scanned.isSet(kHistory)) {
        if (noHistory) {
            errors.emplace_back("--history 与 --no-history 不能同用");
        } else if (scanned.value(kHistory).empty()) {
            errors.emplace_back("--history 需要文件名");
        } else {
            settings.historyPath = scanned.value(kHistory);
        }
    } else if (!noHistory) {
        settings.historyPath = history::defaultHistoryPath(
            [&env](const char* name) { return env(std::string(name)); });
    }

    if (scanned.isSet(kFilter)) {
        settings.filter = scanned.value(kFilter);
        auto compiled = filter::Filter::compile(settings.filter);
        if (const auto* error = std::get_if<filter::FilterError>(&compiled)) {
            errors.push_back(error->message);
        }
        if (!writes && !stats) {
            errors.emplace_back(
                "--filter 只能与 --harvest、--search-history、--details-from 或 --stats 同用");
        }
    }
    settings.newOnly = scanned.isSet(kNewOnly);
    if (settings.newOnly) {
        if (!harvest) {
            errors.emplace_back("--new-only 只能与 --harvest 同用");
        } else if (noHistory) {
            errors.emplace_back("--new-only 需要历史记录，不能与 --no-history 同用");
        }
    }
    if (search && noHistory) {
        errors.emplace_back("--search-history 需要历史记录，不能与 --no-history 同用");
    }
    if (stats && noHistory) {
        errors.emplace_back("--stats 需要历史记录，不能与 --no-history 同用");
    }
    const bool care =
        settings.mode == RunMode::CheckHistory || settings.mode == RunMode::RestoreHistory;
    if (care && noHistory) {
        errors.emplace_back(std::string(settings.mode == RunMode::CheckHistory
                                            ? "--check-history"
                                            : "--restore-history") +
                            " 需要历史记录，不能与 --no-history 同用");
    }
    settings.yes = scanned.isSet(kYes);
    if (settings.yes && settings.mode != RunMode::RestoreHistory) {
        errors.emplace_back("--yes 只能与 --restore-history 同用");
    }
    if (scanned.isSet(kFormat) && settings.mode == RunMode::Watchlist) {
        settings.format = base::lowerAscii(scanned.value(kFormat));
        if (settings.format != "txt" && settings.format != "csv") {
            errors.push_back("--watchlist 的 --format 只能是 txt 或 csv，不能是 \"" +
                             scanned.value(kFormat) + "\"");
        }
    } else if (scanned.isSet(kFormat)) {
        settings.format = base::lowerAscii(scanned.value(kFormat));
        if (settings.format != "txt" && settings.format != "csv" && settings.format != "xlsx" &&
            settings.format != "jsonl") {
            errors.push_back("--format 只能是 txt、csv、xlsx 或 jsonl，不能是 \"" +
                             scanned.value(kFormat) + "\"");
        }
        if (stats && (settings.format == "xlsx" || settings.format == "jsonl")) {
            errors.push_back("--stats 的 --format 只能是 txt 或 csv，不能是 \"" +
                             scanned.value(kFormat) + "\"");
        } else if (!writes && !stats) {
            errors.emplace_back(
                "--format 只能与 --harvest、--search-history、--details-from 或 --stats 同用");
        }
    }
    for (const auto& [option, field] :
         {std::pair{kSince, &settings.since}, std::pair{kUntil, &settings.until}}) {
        if (!scanned.isSet(option)) {
            continue;
        }
        *field = scanned.value(option);
        if (stats && option == kSince) {
            // A date of the marketplace's calendar (Beijing time).
            if (!history::dayOfDate(*field)) {
                errors.push_back("--since 需要日期 YYYY-MM-DD，不能是 \"" + *field + "\"");
            }
            continue;
        }
        if (!search) {
            errors.push_back("--" + std::string(option) + " 只能与 --search-history 同用");
        } else if (!localMidnightUtc(*field)) {
            errors.push_back("--" + std::string(option) + " 需要日期 YYYY-MM-DD，不能是 \"" +
                             *field + "\"");
        }
    }
    if (!settings.since.empty() && !settings.until.empty() && settings.since > settings.until) {
        errors.emplace_back("--since 的日期晚于 --until");
    }
    settings.details = scanned.isSet(kDetails) || listRun;
    if (scanned.isSet(kDetails) && !harvest && !search) {
        errors.emplace_back("--details 只能与 --harvest 或 --search-history 同用");
    }
    readNumber(scanned, kMaxNames, 1, 1'000'000, settings.maxNames, errors);
    readNumber(scanned, kPauseMs, 0, 600'000, settings.pauseMs, errors);
    readNumber(scanned, kMaxAgeHours, 0, 100'000, settings.maxAgeHours, errors);
    // The window's 批量查询 keeps to the same pause per site.
    const bool window = settings.mode == RunMode::Window;
    for (const std::string_view option : {kMaxNames, kPauseMs, kMaxAgeHours}) {
        if (scanned.isSet(option) && !settings.details && !(window && option == kPauseMs)) {
            errors.push_back("--" + std::string(option) +
                             " 只能与 --details 或 --details-from 同用" +
                             (option == kPauseMs ? "，或在窗口中用于批量查询" : ""));
        }
    }
    if (writes && settings.output.empty()) {
        errors.emplace_back("缺少 --output：请给出输出文件（\"-\" 为标准输出）");
    }
    readScoreConfigOption(scanned, env, settings, errors);
    if (scanned.isSet(kSort)) {
        if (!writes) {
            errors.emplace_back("--sort 只能与 --harvest、--search-history 或 --details-from 同用");
        } else if (const auto order = outputOrderNamed(scanned.value(kSort))) {
            settings.order = *order;
        } else {
            errors.push_back("--sort 只能是 score 或 name，不能是 \"" + scanned.value(kSort) +
                             "\"");
        }
    }
}

// --notify, --notify-test, --notify-resend and --notify-config: a run of their own, or the
// digests after a harvest.
void readNotifyOptions(const Scanned& scanned, const config::EnvLookup& env, Settings& settings,
                       std::vector<std::string>& errors) {
    const bool test = scanned.isSet(kNotifyTest);
    const bool send = scanned.isSet(kNotify) || scanned.isSet(kNotifyResend);
    if (settings.mode == RunMode::Remind) {  // reminders go out on notify.toml's channels
        if (test || send) {
            errors.emplace_back("--remind 不能与 --notify、--notify-test 或 --notify-resend 同用");
        }
        settings.notifyConfig = scanned.isSet(kNotifyConfig)
                                    ? scanned.value(kNotifyConfig)
                                    : push::defaultNotifyConfigPath([&env](const char* name) {
                                          return env(std::string(name));
                                      });
        return;
    }
    if (!test && !send && !scanned.isSet(kNotifyConfig)) {
        return;
    }
    if (test && send) {
        errors.emplace_back("--notify-test 不能与 --notify 或 --notify-resend 同用");
    }
    const bool alone = settings.mode == RunMode::Window;
    if (test) {
        if (!alone) {
            errors.emplace_back("--notify-test 须单独使用");
        }
        settings.mode = RunMode::NotifyTest;
    } else if (send) {
        settings.notify = scanned.isSet(kNotify);
        settings.notifyResend = scanned.isSet(kNotifyResend);
        if (alone) {
            settings.mode = RunMode::Notify;
        } else if (settings.mode != RunMode::Harvest || settings.notifyResend) {
            errors.emplace_back(
                "--notify 只能与 --harvest 同用或单独使用；--notify-resend 须单独使用");
        }
    } else {
        errors.emplace_back(
            "--notify-config 只能与 --notify、--notify-test 或 --notify-resend 同用");
    }
    if (scanned.isSet(kNotifyConfig)) {
        settings.notifyConfig = scanned.value(kNotifyConfig);
        if (settings.notifyConfig.empty()) {
            errors.emplace_back("--notify-config 需要文件名");
        }
    } else {
        settings.notifyConfig = push::defaultNotifyConfigPath(
            [&env](const char* name) { return env(std::string(name)); });
    }
}

// --watch, --unwatch, --watch-from, --watchlist, --note and --remind: runs of their own on the
// history's watchlist (the names themselves are checked by the run, which lists each bad one).
void readWatchOptions(const Scanned& scanned, Settings& settings,
                      std::vector<std::string>& errors) {
    const bool watchRun = settings.mode == RunMode::Watch || settings.mode == RunMode::Unwatch ||
                          settings.mode == RunMode::Watchlist || settings.mode == RunMode::Remind;
    if (scanned.isSet(kNote)) {
        settings.note = scanned.value(kNote);
        if (settings.mode != RunMode::Watch) {
            errors.emplace_back("--note 只能与 --watch 或 --watch-from 同用");
        }
    }
    if ((settings.mode == RunMode::Watch && settings.watchFrom.empty()) ||
        settings.mode == RunMode::Unwatch) {
        settings.watchNames = scanned.positional;
        if (settings.watchNames.empty()) {
            errors.push_back(
                std::string(settings.mode == RunMode::Watch ? "--watch" : "--unwatch") +
                " 需要至少一个域名，例如 --watch 8848.com");
        }
    }
    if (watchRun && settings.historyPath.empty()) {
        errors.emplace_back("关注列表存放在历史记录中，不能与 --no-history 同用");
    }
}

// Columns an ASCII option column takes; every character of the table's names is ASCII.
std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string optionColumn(const OptionSpec& entry) {
    std::string text;
    if (!entry.shortName.empty()) {
        text += "-" + std::string(entry.shortName) + ", ";
    }
    for (std::size_t i = 0; i < entry.names.size(); ++i) {
        text += (i == 0 ? "--" : ", --") + std::string(entry.names[i]);
    }
    if (!entry.valueName.empty()) {
        text += " <" + std::string(entry.valueName) + ">";
    }
    return text;
}

}  // namespace

const std::vector<OptionSpec>& optionTable() {
    static const std::vector<OptionSpec> table = {
        {{kMarketUrl}, "", "url", "交易平台网址（或环境变量 JILAN_MARKET_URL）。"},
        {{kIcpUrl}, "", "url", "备案查询网址（或环境变量 JILAN_ICP_URL）。"},
        {{kForumUrl}, "", "url", "论坛网址（或环境变量 JILAN_FORUM_URL）。"},
        {{kHomeUrl}, "", "url", "主页网址（或环境变量 JILAN_HOME_URL）。"},
        {{kParallel},
         "",
         "k",
         "批量采集同时请求的页数，" + numberRange(kMinParallel, kMaxParallel) + "。"},
        {{kHarvest},
         "",
         "n",
         "不打开窗口，采集 N 页（1 到 32767；与在页数框填 N 后按“开始采集”相同，但列表结束"
         "时提前停止：某页标明是最后一页，或连续 3 页没有域名）；需要 --output。"},
        {{kOutput},
         "",
         "file",
         "输出文件；可含 {date}（YYYY-MM-DD）与 {time}（HHMMSS），缺少的文件夹会建立；"
         "\"-\" 为标准输出。"},
        {{kFormat},
         "",
         "txt|csv|xlsx|jsonl",
         "输出格式 txt、csv、xlsx 或 jsonl（每行一个 JSON 对象）；默认按文件扩展名。"},
        {{kFilter}, "", "expr", "只输出符合筛选条件的域名，例如 \"len<=5 tld=com 纯数字\"。"},
        {{kNewOnly}, "", "", "只输出本次采集新出现的域名（需要历史记录）。"},
        {{kHistory},
         "",
         "file",
         "历史记录文件（默认 ~/.local/share/jilan-harvester/history.sqlite3）。"},
        {{kNoHistory}, "", "", "不读写历史记录。"},
        {{kSearchHistory},
         "",
         "",
         "不联网，从历史记录中找出域名（可与 --filter、--since、--until 同用）；需要 --output。"},
        {{kSince},
         "",
         "YYYY-MM-DD",
         "--search-history：最近发现不早于该日（本地日期）；--stats：从该日起统计（北京时间）。"},
        {{kUntil}, "", "YYYY-MM-DD", "--search-history：最近发现不晚于该日（本地日期）。"},
        {{kDetails},
         "",
         "",
         "写出前逐个查询删除信息、价格与备案（与 --harvest 或 --search-history 同用）。"},
        {{kDetailsFrom},
         "",
         "list",
         "不打开窗口，查询名单文件中的域名（每行一个）；需要 --output。"},
        {{kMaxNames}, "", "n", "一次最多查询的域名数，默认 1000。"},
        {{kPauseMs},
         "",
         "ms",
         "同一站点两次查询之间的间隔（毫秒），默认 1000；也用于窗口中的批量查询。"},
        {{kMaxAgeHours},
         "",
         "h",
         "查询结果在多少小时内直接取自缓存，默认 12；0 表示总是重新查询。"},
        {{kQuery}, "", "domain", "不打开窗口，查询一个域名并输出窗口会显示的内容。"},
        {{kExplain},
         "",
         "",
         "不联网，输出其后每个域名的评分与评分说明（--explain 888.com xian.cn）。"},
        {{kScoreConfig},
         "",
         "file",
         "评分权重文件（TOML；默认 ~/.config/jilan-harvester/score.toml，存在时才读）；"
         "与 --explain、--filter 的 score 条件同用。"},
        {{kQuiet},
         "",
         "",
         "安静：成功时不输出任何提示，出错时才输出全部提示与失败原因（适合 cron）；"
         "--output - 写出的域名照常输出。"},
        {{kCheckHistory},
         "",
         "",
         "检查历史记录文件是否完好（SQLite 完整性检查）；完好时清除损坏标记。"},
        {{kRestoreHistory},
         "",
         "",
         "用最新的完好备份（history.sqlite3.bak）替换历史记录；原文件改名保留。需确认。"},
        {{kYes}, "", "", "--restore-history：不询问，直接恢复。"},
        {{kNotify},
         "",
         "",
         "与 --harvest 同用：采集后把每个推送的新匹配发到通知通道；单独使用：补发最近一次"
         "完成的采集尚未送达的消息。"},
        {{kNotifyConfig},
         "",
         "file",
         "通知配置文件（TOML；默认 ~/.config/jilan-harvester/notify.toml，权限须为 600）。"},
        {{kNotifyTest}, "", "", "向每个通知通道发一条测试消息，逐个报告结果。"},
        {{kNotifyResend}, "", "", "把最近一次完成的采集的推送全部重发一次。"},
        {{kSort},
         "",
         "score|name",
         "输出文件中域名的顺序：score 按评分从高到低（同分按域名），name 按域名；"
         "默认保持采集或记录的顺序。"},
        {{kWatch},
         "",
         "",
         "关注其后的域名（--watch 8848.com abc.cn）；已关注的只更新备注。无效的域名列出并跳过。"},
        {{kNote}, "", "text", "--watch、--watch-from：关注的备注（最多 1000 个字符）。"},
        {{kUnwatch}, "", "", "取消关注其后的域名。"},
        {{kWatchlist},
         "",
         "",
         "列出关注的域名：预定截止最近的在前，带备注、删除信息、备案与评分；"
         "--format txt|csv，--output 文件（默认标准输出）。"},
        {{kWatchFrom}, "", "list", "关注名单文件中的每个域名（规则同 --details-from）。"},
        {{kRemind},
         "",
         "",
         "发出到期的关注提醒（预定截止前、删除时）后退出；通知通道与提前量见 notify.toml。"},
        {{kStats},
         "",
         "",
         "不联网，统计历史记录：最近 30 天（或自 --since 起，北京时间）每天新出现的域名按类别"
         "计数、后缀占比与评分分布（可与 --filter、--format txt|csv、--output 同用；"
         "默认输出到标准输出）。"},
        {{kHelp, "help-all"}, "h", "", "显示本帮助。"},
        {{kVersion}, "v", "", "显示版本。"},
    };
    return table;
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args,
                                   const config::EnvLookup& env) {
    ParsedCommandLine result;
    const Scanned scanned = scan(args);
    if (const std::optional<std::string> error = scanError(scanned)) {
        result.errors.push_back(*error);
        return result;
    }
    Settings& settings = result.settings;
    if (scanned.isSet(kHelp)) {
        settings.mode = RunMode::Help;
        return result;
    }
    if (scanned.isSet(kVersion)) {
        settings.mode = RunMode::Version;
        return result;
    }
    if (!scanned.isSet(kExplain) && !scanned.isSet(kWatch) && !scanned.isSet(kUnwatch)) {
        for (const std::string& extra : scanned.positional) {
            result.errors.push_back("多余的参数：" + extra);
        }
    }

    std::map<std::string, std::string> urlOptions;
    for (const std::string_view name : {kMarketUrl, kIcpUrl, kForumUrl, kHomeUrl}) {
        if (scanned.isSet(name)) {
            urlOptions[std::string(name)] = scanned.value(name);
        }
    }
    config::FileUrls fileUrls;
    auto sitesFile = config::readSitesFile(config::defaultSitesFilePath(env));
    if (auto* problem = std::get_if<std::string>(&sitesFile)) {
        result.sitesFileProblem = std::move(*problem);
    } else {
        fileUrls = std::get<config::FileUrls>(std::move(sitesFile));
    }
    config::UrlsResult urls = config::resolveUrls(urlOptions, env, fileUrls);
    settings.urls = urls.urls;
    result.errors.insert(result.errors.end(), urls.errors.begin(), urls.errors.end());

    if (scanned.isSet(kParallel)) {
        const std::optional<long long> k = wholeNumber(scanned.value(kParallel));
        if (!k || *k < kMinParallel || *k > kMaxParallel) {
            result.errors.push_back("--parallel 需要 " + numberRange(kMinParallel, kMaxParallel) +
                                    " 之间的整数，不能是 \"" + scanned.value(kParallel) + "\"");
        } else {
            settings.harvest.parallel = static_cast<int>(*k);
        }
    }

    // One run at most: the harvest, the query, the history search or the list's details.
    std::vector<std::string_view> runs;
    for (const std::string_view name :
         {kHarvest, kQuery, kSearchHistory, kDetailsFrom, kExplain, kCheckHistory, kRestoreHistory,
          kWatch, kUnwatch, kWatchlist, kWatchFrom, kRemind, kStats}) {
        if (scanned.isSet(name)) {
            runs.push_back(name);
        }
    }
    if (runs.size() > 1) {
        result.errors.push_back("--" + std::string(runs[0]) + " 与 --" + std::string(runs[1]) +
                                " 不能同用");
    } else if (scanned.isSet(kHarvest)) {
        settings.mode = RunMode::Harvest;
        settings.pages = scanned.value(kHarvest);
        if (const std::optional<std::string> problem = harvestPagesProblem(settings.pages)) {
            result.errors.push_back(*problem);
        }
        // Unlike the window's page box, the command line stops where the listing ends.
        settings.harvest.stopAtListingEnd = true;
    } else if (scanned.isSet(kQuery)) {
        settings.mode = RunMode::Query;
        settings.domain = scanned.value(kQuery);
        if (settings.domain.empty()) {
            result.errors.emplace_back("--query 需要域名");
        } else if (const std::optional<std::string> problem = domainProblem(settings.domain)) {
            // Nothing is sent for a name that cannot be a domain.
            result.errors.push_back("--query 需要域名，\"" + settings.domain + "\" 不是：" +
                                    *problem);
        }
    } else if (scanned.isSet(kSearchHistory)) {
        settings.mode = RunMode::SearchHistory;
    } else if (scanned.isSet(kDetailsFrom)) {
        settings.mode = RunMode::DetailsFrom;
        settings.detailsFrom = scanned.value(kDetailsFrom);
        if (settings.detailsFrom.empty()) {
            result.errors.emplace_back("--details-from 需要名单文件");
        }
    } else if (scanned.isSet(kCheckHistory)) {
        settings.mode = RunMode::CheckHistory;
    } else if (scanned.isSet(kRestoreHistory)) {
        settings.mode = RunMode::RestoreHistory;
    } else if (scanned.isSet(kWatch) || scanned.isSet(kWatchFrom)) {
        settings.mode = RunMode::Watch;
        if (scanned.isSet(kWatchFrom)) {
            settings.watchFrom = scanned.value(kWatchFrom);
            if (settings.watchFrom.empty()) {
                result.errors.emplace_back("--watch-from 需要名单文件");
            }
        }
    } else if (scanned.isSet(kUnwatch)) {
        settings.mode = RunMode::Unwatch;
    } else if (scanned.isSet(kWatchlist)) {
        settings.mode = RunMode::Watchlist;
    } else if (scanned.isSet(kRemind)) {
        settings.mode = RunMode::Remind;
    } else if (scanned.isSet(kStats)) {
        settings.mode = RunMode::Stats;
    } else if (scanned.isSet(kExplain)) {
        settings.mode = RunMode::Explain;
        settings.explainNames = scanned.positional;
        if (settings.explainNames.empty()) {
            result.errors.emplace_back("--explain 需要至少一个域名，例如 --explain 888.com");
        }
    }
    if (scanned.isSet(kOutput)) {
        settings.output = scanned.value(kOutput);
        if (!writesFile(settings.mode) && settings.mode != RunMode::Watchlist &&
            settings.mode != RunMode::Stats) {
            result.errors.emplace_back(
                "--output 只能与 --harvest、--search-history、--details-from 或 --watchlist 同用");
        }
    }
    if (runs.size() <= 1) {
        readRunOptions(scanned, env, settings, result.errors);
        readNotifyOptions(scanned, env, settings, result.errors);
        readWatchOptions(scanned, settings, result.errors);
    }
    settings.quiet = scanned.isSet(kQuiet);
    if (settings.quiet && !writesFile(settings.mode) && settings.mode != RunMode::Query) {
        result.errors.emplace_back(
            "--quiet 只能与 --harvest、--search-history、--details-from 或 --query 同用");
    }
    return result;
}

bool needsWindow(const std::vector<std::string>& args, const config::EnvLookup& env) {
    const Scanned scanned = scan(args);
    for (const std::string_view name :
         {kHelp, kVersion, kHarvest, kQuery, kSearchHistory, kDetailsFrom, kExplain, kCheckHistory,
          kRestoreHistory, kNotify, kNotifyTest, kNotifyResend, kWatch, kUnwatch, kWatchlist,
          kWatchFrom, kRemind, kStats}) {
        if (scanned.isSet(name)) {
            return false;
        }
    }
    if (scanned.unknown.empty()) {
        return parseCommandLine(args, env).ok();
    }
    // The toolkit's own options are unknown here; the toolkit removes them, with their values,
    // before the arguments are read again. Any other unknown option is certainly wrong.
    return std::all_of(scanned.unknown.begin(), scanned.unknown.end(), toolkitOption);
}

std::string helpText(std::string_view program) {
    const bool window = program == "jilan-harvester";
    std::string text = "用法：" + std::string(program) + " [选项]\n";
    text += "霁岚域名回收采集器：采集交易平台当天删除的域名，查询域名的删除信息与备案。";
    text += window ? "不带 --harvest、--query、--search-history、--details-from 或 --explain "
                     "时打开窗口。\n"
                   : "需要 --harvest、--query、--search-history、--details-from 或 --explain "
                     "之一；窗口请运行 jilan-harvester。\n";
    text += "\n选项：\n";
    std::size_t width = 0;
    for (const OptionSpec& entry : optionTable()) {
        width = std::max(width, optionColumn(entry).size());
    }
    for (const OptionSpec& entry : optionTable()) {
        text += "  " + padded(optionColumn(entry), width) + "  " + entry.description + "\n";
    }
    text +=
        "\n退出码（同时符合几条时，取下表中先列出的：130/143、2、1、4、5、3）：\n"
        "  0    完成，没有失败\n"
        "  1    输出文件无法写入（在发出任何请求之前检查）\n"
        "  2    "
        "选项有误，筛选条件有误（中文说明指出有误的一项），或评分配置有误（指出文件、行与键）\n"
        "  3    部分页采集失败（标准错误按原因列出页数），--query 查询失败，站点持续拒绝"
        "（连续三次 429/503），或所有域名的查询都失败；文件照常写出\n"
        "  4    历史记录不可用（损坏、是文件夹、版本过新或被锁定）：通过筛选的域名照常写出，"
        "原因见标准错误；--check-history 发现损坏，或 --restore-history 没有可用的备份\n"
        "  5    采集失败：所有页都失败（原因见标准错误）；文件照常写出\n"
        "  6    部分推送失败：有通知通道未能送达（文件照常写出）\n"
        "  130  被 SIGINT 中断：采集或查询停止，已完成的部分照常写出\n"
        "  143  被 SIGTERM 中断：同上\n";
    return text;
}

std::string versionText(std::string_view program) {
    return std::string(program) + " " JILAN_VERSION "（霁岚域名回收采集器）";
}

}  // namespace jilan::cli
