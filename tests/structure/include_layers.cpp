#include "include_layers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>

namespace jilan::structure {

namespace {

const std::set<std::string>& srcFolders() {
    static const std::set<std::string> folders = {
        "base", "config",  "net",   "io",          "filter",   "history",
        "app",  "harvest", "query", "listactions", "export",   "details",
        "push", "program", "cli",   "ui",          "watchlist"};
    return folders;
}

// Which folders of src/ each folder may include; its own folder is always allowed. base, the
// shared text helpers, is below everything: every folder may include it, it includes nothing.
const std::map<std::string, std::set<std::string>>& layerTable() {
    static const std::set<std::string> workers = {"app", "net",    "config",
                                                  "io",  "filter", "history"};
    static const std::map<std::string, std::set<std::string>> table = [] {
        std::map<std::string, std::set<std::string>> t;
        t["base"] = {};
        for (const char* bottom : {"config", "net", "io", "filter", "history"}) {
            t[bottom] = {"base"};
        }
        t["app"] = {"base", "config"};
        for (const char* worker : {"harvest", "query", "listactions"}) {
            t[worker] = workers;
        }
        t["export"] = workers;
        t["export"].insert("query");
        // Batch details serve the query runner: they judge its pages, cache its parts in the
        // history and write its rows as the export's table.
        t["details"] = workers;
        t["details"].insert({"query", "export"});
        // Notifications send over the network what the workers found; the command line sends them.
        t["push"] = workers;
        // Watchlist reminders go out through the notifications, from what the history keeps.
        t["watchlist"] = workers;
        t["watchlist"].insert("push");
        t["program"] = {"config", "net",     "io",    "filter",      "history",
                        "app",    "harvest", "query", "listactions", "export"};
        // The command line runs the window's program without a window.
        t["cli"] = t["program"];
        t["cli"].insert({"details", "program", "push", "watchlist"});
        t["ui"] = srcFolders();
        for (auto& [folder, reached] : t) {
            if (folder != "base") {
                reached.insert("base");
            }
        }
        return t;
    }();
    return table;
}

// The folder a project file belongs to: "app" for src/app/..., "market-sim" for the simulator.
std::optional<std::string> owningFolder(std::string_view path) {
    constexpr std::string_view kSrc = "src/";
    constexpr std::string_view kSim = "tools/market-sim/";
    if (path.starts_with(kSim)) {
        return "market-sim";
    }
    if (!path.starts_with(kSrc)) {
        return std::nullopt;
    }
    path.remove_prefix(kSrc.size());
    const auto slash = path.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(path.substr(0, slash));
}

// The quoted name of an `#include "..."` line, if the line is one.
std::optional<std::string> quotedInclude(std::string_view line) {
    auto skipBlanks = [&line] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
    };
    skipBlanks();
    if (!line.starts_with('#')) {
        return std::nullopt;
    }
    line.remove_prefix(1);
    skipBlanks();
    if (!line.starts_with("include")) {
        return std::nullopt;
    }
    line.remove_prefix(7);
    skipBlanks();
    if (!line.starts_with('"')) {
        return std::nullopt;
    }
    line.remove_prefix(1);
    const auto close = line.find('"');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(line.substr(0, close));
}

bool isQtHeader(std::string_view line) {
    const auto hash = line.find_first_not_of(" \t");
    const auto angle = line.find('<');
    if (hash == std::string_view::npos || line[hash] != '#' || angle == std::string_view::npos ||
        line.find("include") == std::string_view::npos) {
        return false;
    }
    const std::string_view name = line.substr(angle + 1);
    return name.size() > 1 && name[0] == 'Q' && name[1] >= 'A' && name[1] <= 'Z';
}

// The src/ folder a quoted include reaches from `path`, or nullopt when it stays in the
// including file's own folder (a sibling like "form1.h", or a generated table).
std::optional<std::string> reachedFolder(const std::string& path, const std::string& included,
                                         const std::set<std::string>& present) {
    namespace fs = std::filesystem;
    const std::string sibling =
        (fs::path(path).parent_path() / included).lexically_normal().string();
    if (present.contains(sibling)) {
        return owningFolder(sibling).value_or("");
    }
    const auto slash = included.find('/');
    if (slash != std::string::npos && srcFolders().contains(included.substr(0, slash))) {
        return included.substr(0, slash);
    }
    if (included.starts_with("../") || included.starts_with("src/")) {
        const std::string resolved =
            included.starts_with("src/")
                ? included
                : (fs::path(path).parent_path() / included).lexically_normal().string();
        return owningFolder(resolved).value_or("");
    }
    return std::nullopt;
}

}  // namespace

std::vector<Violation> checkIncludeLayers(const std::vector<SourceFile>& files) {
    std::set<std::string> present;
    for (const SourceFile& file : files) {
        present.insert(file.path);
    }
    std::vector<Violation> found;
    for (const SourceFile& file : files) {
        const std::optional<std::string> from = owningFolder(file.path);
        if (!from) {
            continue;
        }
        const auto rule = layerTable().find(*from);
        const bool simulator = *from == "market-sim";
        std::istringstream lines(file.text);
        std::string line;
        for (int number = 1; std::getline(lines, line); ++number) {
            const std::string where = file.path + ":" + std::to_string(number);
            if (*from != "ui" && isQtHeader(line)) {
                found.push_back({where, *from + " -> Qt (" + line + ")"});
                continue;
            }
            const std::optional<std::string> included = quotedInclude(line);
            if (!included) {
                continue;
            }
            const std::optional<std::string> to = reachedFolder(file.path, *included, present);
            if (!to || *to == *from) {
                continue;
            }
            const bool allowed =
                !simulator && rule != layerTable().end() && rule->second.contains(*to);
            if (!allowed) {
                found.push_back(
                    {where, *from + " -> " + (to->empty() ? "?" : *to) + " (" + *included + ")"});
            }
        }
    }
    return found;
}

std::vector<SourceFile> readSourceTree(const std::string& root) {
    namespace fs = std::filesystem;
    std::vector<SourceFile> files;
    for (const char* top : {"src", "tools/market-sim"}) {
        const fs::path base = fs::path(root) / top;
        if (!fs::is_directory(base)) {
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(base)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".inc")) {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            files.push_back({fs::relative(entry.path(), root).generic_string(), text.str()});
        }
    }
    std::sort(files.begin(), files.end(),
              [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
    return files;
}

std::string describe(const Violation& violation) {
    return violation.where + ": forbidden include " + violation.link;
}

}  // namespace jilan::structure
