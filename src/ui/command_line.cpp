#include "command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <map>
#include <variant>

#include "filter/filter_expr.h"
#include "history/store.h"
#include "model_conversions.h"
#include "program/cli_run.h"

#ifndef JILAN_VERSION
#define JILAN_VERSION "0"
#endif

namespace jilan::ui {

namespace {

const QString kMarketUrl = QStringLiteral("market-url");
const QString kIcpUrl = QStringLiteral("icp-url");
const QString kForumUrl = QStringLiteral("forum-url");
const QString kHomeUrl = QStringLiteral("home-url");
const QString kParallel = QStringLiteral("parallel");
const QString kHarvest = QStringLiteral("harvest");
const QString kOutput = QStringLiteral("output");
const QString kQuery = QStringLiteral("query");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QString kHelpAll = QStringLiteral("help-all");
const QString kHistory = QStringLiteral("history");
const QString kNoHistory = QStringLiteral("no-history");
const QString kFilter = QStringLiteral("filter");
const QString kNewOnly = QStringLiteral("new-only");
const QString kFormat = QStringLiteral("format");
const QString kSearchHistory = QStringLiteral("search-history");
const QString kSince = QStringLiteral("since");
const QString kUntil = QStringLiteral("until");
const QString kDetails = QStringLiteral("details");
const QString kDetailsFrom = QStringLiteral("details-from");
const QString kMaxNames = QStringLiteral("max-names");
const QString kPauseMs = QStringLiteral("pause-ms");
const QString kMaxAgeHours = QStringLiteral("max-age-hours");

// Options the toolkit takes out of the arguments itself when the window opens
// (QGuiApplication, QApplication and the X11 platform).
bool toolkitOption(const QString& name) {
    static const QStringList kNames = {
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qmljsdebugger"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),
        QStringLiteral("session"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("title"),
        QStringLiteral("name"),
        QStringLiteral("visual"),
        QStringLiteral("ncols"),
        QStringLiteral("cmap"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("fn"),
        QStringLiteral("bg"),
        QStringLiteral("fg"),
        QStringLiteral("btn"),
        QStringLiteral("im"),
        QStringLiteral("inputstyle"),
        QStringLiteral("dialogs"),
    };
    return kNames.contains(name);
}

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "霁岚域名回收采集器 v1.3：采集交易平台当天删除的域名，查询域名的删除信息与备案。"
        "不带 --harvest、--query、--search-history 或 --details-from 时打开窗口。"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {kMarketUrl, QStringLiteral("交易平台网址（或环境变量 JILAN_MARKET_URL）。"),
         QStringLiteral("url")},
        {kIcpUrl, QStringLiteral("备案查询网址（或环境变量 JILAN_ICP_URL）。"),
         QStringLiteral("url")},
        {kForumUrl, QStringLiteral("论坛网址（或环境变量 JILAN_FORUM_URL）。"),
         QStringLiteral("url")},
        {kHomeUrl, QStringLiteral("主页网址（或环境变量 JILAN_HOME_URL）。"),
         QStringLiteral("url")},
        {kParallel,
         QStringLiteral("批量采集同时请求的页数，%1 到 %2。").arg(kMinParallel).arg(kMaxParallel),
         QStringLiteral("k")},
        {kHarvest,
         QStringLiteral(
             "不打开窗口，采集 N 页（与在页数框填 N 后按“开始采集”相同）；需要 --output。"),
         QStringLiteral("n")},
        {kOutput,
         QStringLiteral(
             "输出文件；可含 {date}（YYYY-MM-DD）与 {time}（HHMMSS），缺少的文件夹会建立；"
             "\"-\" 为标准输出。"),
         QStringLiteral("file")},
        {kFormat, QStringLiteral("输出格式 txt、csv 或 xlsx；默认按文件扩展名。"),
         QStringLiteral("txt|csv|xlsx")},
        {kFilter, QStringLiteral("只输出符合筛选条件的域名，例如 \"len<=5 tld=com 纯数字\"。"),
         QStringLiteral("expr")},
        {kNewOnly, QStringLiteral("只输出本次采集新出现的域名（需要历史记录）。")},
        {kHistory,
         QStringLiteral("历史记录文件（默认 ~/.local/share/jilan-harvester/history.sqlite3）。"),
         QStringLiteral("file")},
        {kNoHistory, QStringLiteral("不读写历史记录。")},
        {kSearchHistory,
         QStringLiteral("不联网，从历史记录中找出域名（可与 --filter、--since、--until 同用）；"
                        "需要 --output。")},
        {kSince, QStringLiteral("--search-history：最近发现不早于该日（本地日期）。"),
         QStringLiteral("YYYY-MM-DD")},
        {kUntil, QStringLiteral("--search-history：最近发现不晚于该日（本地日期）。"),
         QStringLiteral("YYYY-MM-DD")},
        {kDetails,
         QStringLiteral(
             "写出前逐个查询删除信息、价格与备案（与 --harvest 或 --search-history 同用）。")},
        {kDetailsFrom,
         QStringLiteral("不打开窗口，查询名单文件中的域名（每行一个）；需要 --output。"),
         QStringLiteral("list")},
        {kMaxNames, QStringLiteral("一次最多查询的域名数，默认 1000。"), QStringLiteral("n")},
        {kPauseMs,
         QStringLiteral("同一站点两次查询之间的间隔（毫秒），默认 1000；也用于窗口中的批量查询。"),
         QStringLiteral("ms")},
        {kMaxAgeHours,
         QStringLiteral("查询结果在多少小时内直接取自缓存，默认 12；0 表示总是重新查询。"),
         QStringLiteral("h")},
        {kQuery, QStringLiteral("不打开窗口，查询一个域名并输出窗口会显示的内容。"),
         QStringLiteral("domain")},
    });
    // Their own entries rather than the toolkit's, whose descriptions are English.
    parser.addOption(
        QCommandLineOption({QStringLiteral("h"), kHelp, kHelpAll}, QStringLiteral("显示本帮助。")));
    parser.addOption(
        QCommandLineOption({QStringLiteral("v"), kVersion}, QStringLiteral("显示版本。")));
}

// The parser's own complaint in Chinese: unknown options by name, a missing value by option.
std::string parseErrorText(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        std::string text = "未知选项：";
        for (qsizetype i = 0; i < unknown.size(); ++i) {
            text += (i == 0 ? "" : "、") + std::string(unknown[i].size() == 1 ? "-" : "--") +
                    fromQt(unknown[i]);
        }
        return text;
    }
    const QString qt = parser.errorText();
    const qsizetype quote = qt.indexOf(QLatin1Char('\''));
    if (qt.startsWith(QStringLiteral("Missing value after")) && quote >= 0) {
        return "选项 " + fromQt(qt.mid(quote + 1).chopped(2)) + " 后缺少值";
    }
    return "选项有误：" + fromQt(qt);
}

// A whole number within [low, high] typed for `option`, or an error line.
bool readNumber(const QCommandLineParser& parser, const QString& option, int low, int high,
                int& value, std::vector<std::string>& errors) {
    if (!parser.isSet(option)) {
        return true;
    }
    bool number = false;
    const QString text = parser.value(option).trimmed();
    const long long n = text.toLongLong(&number);
    if (!number || n < low || n > high) {
        errors.push_back("--" + fromQt(option) + " 需要 " + std::to_string(low) + " 到 " +
                         std::to_string(high) + " 之间的整数，不能是 \"" +
                         fromQt(parser.value(option)) + "\"");
        return false;
    }
    value = static_cast<int>(n);
    return true;
}

// The options of the history, the filter, the output format and the batch details.
void readRunOptions(const QCommandLineParser& parser, const config::EnvLookup& env,
                    LaunchOptions& options, std::vector<std::string>& errors) {
    const bool harvest = options.mode == RunMode::Harvest;
    const bool search = options.mode == RunMode::SearchHistory;
    const bool listRun = options.mode == RunMode::DetailsFrom;
    const bool writes = harvest || search || listRun;

    options.noHistory = parser.isSet(kNoHistory);
    if (parser.isSet(kHistory)) {
        options.historyPath = fromQt(parser.value(kHistory));
        if (options.noHistory) {
            errors.emplace_back("--history 与 --no-history 不能同用");
        } else if (options.historyPath.empty()) {
            errors.emplace_back("--history 需要文件名");
        }
    } else if (!options.noHistory) {
        options.historyPath = history::defaultHistoryPath(
            [&env](const char* name) { return env(std::string(name)); });
    }

    if (parser.isSet(kFilter)) {
        options.filter = fromQt(parser.value(kFilter));
        auto compiled = filter::Filter::compile(options.filter);
        if (const auto* error = std::get_if<filter::FilterError>(&compiled)) {
            errors.push_back(error->message);
        }
        if (!writes) {
            errors.emplace_back(
                "--filter 只能与 --harvest、--search-history 或 --details-from 同用");
        }
    }
    options.newOnly = parser.isSet(kNewOnly);
    if (options.newOnly) {
        if (!harvest) {
            errors.emplace_back("--new-only 只能与 --harvest 同用");
        } else if (options.noHistory) {
            errors.emplace_back("--new-only 需要历史记录，不能与 --no-history 同用");
        }
    }
    if (search && options.noHistory) {
        errors.emplace_back("--search-history 需要历史记录，不能与 --no-history 同用");
    }
    if (parser.isSet(kFormat)) {
        options.format = fromQt(parser.value(kFormat).toLower());
        if (options.format != "txt" && options.format != "csv" && options.format != "xlsx") {
            errors.push_back("--format 只能是 txt、csv 或 xlsx，不能是 \"" +
                             fromQt(parser.value(kFormat)) + "\"");
        }
        if (!writes) {
            errors.emplace_back(
                "--format 只能与 --harvest、--search-history 或 --details-from 同用");
        }
    }
    for (const auto& [option, field] :
         {std::pair{kSince, &options.since}, std::pair{kUntil, &options.until}}) {
        if (!parser.isSet(option)) {
            continue;
        }
        *field = fromQt(parser.value(option));
        if (!search) {
            errors.push_back("--" + fromQt(option) + " 只能与 --search-history 同用");
        } else if (!program::localMidnightUtc(*field)) {
            errors.push_back("--" + fromQt(option) + " 需要日期 YYYY-MM-DD，不能是 \"" + *field +
                             "\"");
        }
    }
    if (!options.since.empty() && !options.until.empty() && options.since > options.until) {
        errors.emplace_back("--since 的日期晚于 --until");
    }
    options.details = parser.isSet(kDetails) || listRun;
    if (parser.isSet(kDetails) && !harvest && !search) {
        errors.emplace_back("--details 只能与 --harvest 或 --search-history 同用");
    }
    readNumber(parser, kMaxNames, 1, 1'000'000, options.maxNames, errors);
    readNumber(parser, kPauseMs, 0, 600'000, options.pauseMs, errors);
    readNumber(parser, kMaxAgeHours, 0, 100'000, options.maxAgeHours, errors);
    // The window's 批量查询 keeps to the same pause per site.
    const bool window = options.mode == RunMode::Window;
    for (const QString& option : {kMaxNames, kPauseMs, kMaxAgeHours}) {
        if (parser.isSet(option) && !options.details && !(window && option == kPauseMs)) {
            errors.push_back("--" + fromQt(option) + " 只能与 --details 或 --details-from 同用" +
                             (option == kPauseMs ? "，或在窗口中用于批量查询" : ""));
        }
    }
    if (writes && options.output.empty()) {
        errors.emplace_back("缺少 --output：请给出输出文件（\"-\" 为标准输出）");
    }
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList& args, const config::EnvLookup& env) {
    ParsedCommandLine result;
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(args)) {
        result.errors.push_back(parseErrorText(parser));
        return result;
    }
    LaunchOptions& options = result.options;
    if (parser.isSet(kHelp) || parser.isSet(kHelpAll)) {
        options.mode = RunMode::Help;
        return result;
    }
    if (parser.isSet(kVersion)) {
        options.mode = RunMode::Version;
        return result;
    }
    for (const QString& extra : parser.positionalArguments()) {
        result.errors.push_back("多余的参数：" + fromQt(extra));
    }

    std::map<std::string, std::string> urlOptions;
    for (const QString& name : {kMarketUrl, kIcpUrl, kForumUrl, kHomeUrl}) {
        if (parser.isSet(name)) {
            urlOptions[fromQt(name)] = fromQt(parser.value(name));
        }
    }
    config::UrlsResult urls = config::resolveUrls(urlOptions, env);
    options.urls = urls.urls;
    result.errors.insert(result.errors.end(), urls.errors.begin(), urls.errors.end());

    if (parser.isSet(kParallel)) {
        bool number = false;
        const int k = parser.value(kParallel).trimmed().toInt(&number);
        if (!number || k < kMinParallel || k > kMaxParallel) {
            result.errors.push_back("--parallel 需要 " + std::to_string(kMinParallel) + " 到 " +
                                    std::to_string(kMaxParallel) + " 之间的整数，不能是 \"" +
                                    fromQt(parser.value(kParallel)) + "\"");
        } else {
            options.parallel = k;
        }
    }

    // One run at most: the harvest, the query, the history search or the list's details.
    std::vector<QString> runs;
    for (const QString& name : {kHarvest, kQuery, kSearchHistory, kDetailsFrom}) {
        if (parser.isSet(name)) {
            runs.push_back(name);
        }
    }
    if (runs.size() > 1) {
        result.errors.push_back("--" + fromQt(runs[0]) + " 与 --" + fromQt(runs[1]) + " 不能同用");
    } else if (parser.isSet(kHarvest)) {
        options.mode = RunMode::Harvest;
        options.pages = fromQt(parser.value(kHarvest));
    } else if (parser.isSet(kQuery)) {
        options.mode = RunMode::Query;
        options.domain = fromQt(parser.value(kQuery));
        if (options.domain.empty()) {
            result.errors.emplace_back("--query 需要域名");
        }
    } else if (parser.isSet(kSearchHistory)) {
        options.mode = RunMode::SearchHistory;
    } else if (parser.isSet(kDetailsFrom)) {
        options.mode = RunMode::DetailsFrom;
        options.detailsFrom = fromQt(parser.value(kDetailsFrom));
        if (options.detailsFrom.empty()) {
            result.errors.emplace_back("--details-from 需要名单文件");
        }
    }
    if (parser.isSet(kOutput)) {
        options.output = fromQt(parser.value(kOutput));
        if (options.mode != RunMode::Harvest && options.mode != RunMode::SearchHistory &&
            options.mode != RunMode::DetailsFrom) {
            result.errors.emplace_back(
                "--output 只能与 --harvest、--search-history 或 --details-from 同用");
        }
    }
    if (runs.size() <= 1) {
        readRunOptions(parser, env, options, result.errors);
    }
    return result;
}

bool needsWindow(const QStringList& args, const config::EnvLookup& env) {
    QCommandLineParser parser;
    describe(parser);
    const bool parsed = parser.parse(args);
    for (const QString& name :
         {kHelp, kHelpAll, kVersion, kHarvest, kQuery, kSearchHistory, kDetailsFrom}) {
        if (parser.isSet(name)) {
            return false;
        }
    }
    if (parsed) {
        return parseCommandLine(args, env).ok();
    }
    // The toolkit's own options are unknown here; the toolkit removes them, with
    // their values, before the arguments are read again. Any other failure is
    // certainly wrong and is answered without a display.
    const QStringList unknown = parser.unknownOptionNames();
    return !unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), toolkitOption);
}

QString helpText() {
    QCommandLineParser parser;
    describe(parser);
    QString text = parser.helpText();
    text.replace(QStringLiteral("Usage:"), QStringLiteral("用法："));
    text.replace(QStringLiteral("[options]"), QStringLiteral("[选项]"));
    text.replace(QStringLiteral("Options:"), QStringLiteral("选项："));
    return text;
}

QString versionText() {
    return QStringLiteral("jilan-harvester ") + QStringLiteral(JILAN_VERSION) +
           QStringLiteral(" (霁岚域名回收采集器 v1.3)");
}

}  // namespace jilan::ui
