#include "command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <map>

#include "view_text.h"

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
        "霁岚域名回收采集器 v1.3: harvests today's deleted domains from the marketplace listing "
        "and looks up one domain's details. Without --harvest or --query it opens the window."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {kMarketUrl, QStringLiteral("Marketplace base URL (or JILAN_MARKET_URL)."),
         QStringLiteral("url")},
        {kIcpUrl, QStringLiteral("ICP filing lookup base URL (or JILAN_ICP_URL)."),
         QStringLiteral("url")},
        {kForumUrl, QStringLiteral("Vendor forum page (or JILAN_FORUM_URL)."),
         QStringLiteral("url")},
        {kHomeUrl, QStringLiteral("Vendor home page (or JILAN_HOME_URL)."), QStringLiteral("url")},
        {kParallel,
         QStringLiteral("Listing requests a batch harvest keeps in flight, %1 to %2.")
             .arg(kMinParallel)
             .arg(kMaxParallel),
         QStringLiteral("k")},
        {kHarvest,
         QStringLiteral("Harvest N listing pages without a window, as the start button does "
                        "with N in the page box; needs --output."),
         QStringLiteral("n")},
        {kOutput, QStringLiteral("File the harvested list is written to (one domain per line)."),
         QStringLiteral("file")},
        {kQuery,
         QStringLiteral("Query one domain without a window and print what the window would show."),
         QStringLiteral("domain")},
    });
    parser.addHelpOption();
    parser.addVersionOption();
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList& args, const config::EnvLookup& env) {
    ParsedCommandLine result;
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(args)) {
        result.errors.push_back(fromQt(parser.errorText()));
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
        result.errors.push_back("unexpected argument: " + fromQt(extra));
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
            result.errors.push_back(
                "--parallel takes a number from " + std::to_string(kMinParallel) + " to " +
                std::to_string(kMaxParallel) + ", not \"" + fromQt(parser.value(kParallel)) + "\"");
        } else {
            options.parallel = k;
        }
    }

    const bool harvest = parser.isSet(kHarvest);
    const bool query = parser.isSet(kQuery);
    if (harvest && query) {
        result.errors.emplace_back("--harvest and --query cannot be used together");
    } else if (harvest) {
        options.mode = RunMode::Harvest;
        options.pages = fromQt(parser.value(kHarvest));
    } else if (query) {
        options.mode = RunMode::Query;
        options.domain = fromQt(parser.value(kQuery));
        if (options.domain.empty()) {
            result.errors.emplace_back("--query needs a domain");
        }
    }
    if (parser.isSet(kOutput)) {
        if (!harvest) {
            result.errors.emplace_back("--output only goes with --harvest");
        }
        options.output = fromQt(parser.value(kOutput));
    }
    return result;
}

bool needsWindow(const QStringList& args, const config::EnvLookup& env) {
    QCommandLineParser parser;
    describe(parser);
    const bool parsed = parser.parse(args);
    for (const QString& name : {kHelp, kHelpAll, kVersion, kHarvest, kQuery}) {
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
    return parser.helpText();
}

QString versionText() {
    return QStringLiteral("jilan-harvester ") + QStringLiteral(JILAN_VERSION) +
           QStringLiteral(" (霁岚域名回收采集器 v1.3)");
}

}  // namespace jilan::ui
