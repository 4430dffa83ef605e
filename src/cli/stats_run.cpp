#include "stats_run.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <variant>

#include "cli_run.h"
#include "io/durable_writer.h"
#include "program/history_filter.h"

namespace jilan::cli {

namespace {

// Days counted when no --since is given: today and the 29 before it.
constexpr std::int64_t kDefaultDays = 30;

std::string bandText(int band) {
    const int low = band * 10;
    const int high = band == history::kScoreBands - 1 ? 100 : low + 9;
    return std::to_string(low) + "-" + std::to_string(high);
}

std::string percent(std::int64_t part, std::int64_t whole) {
    char text[16];
    std::snprintf(
        text, sizeof text, "%.1f%%",
        whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

// Columns a text takes on a terminal: two for each character beyond ASCII (the class names).
std::size_t widthOf(std::string_view text) {
    std::size_t width = 0;
    for (const unsigned char c : text) {
        if (c < 0x80) {
            width += 1;
        } else if ((c & 0xC0) == 0xC0) {
            width += 2;
        }
    }
    return width;
}

// Rows of cells, the first column left-aligned and the others right-aligned.
std::string aligned(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], widthOf(row[i]));
        }
    }
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string pad(widths[i] - widthOf(row[i]), ' ');
            text += i == 0 ? row[i] + pad : "  " + pad + row[i];
        }
        text += '\n';
    }
    return text;
}

// A cell a spreadsheet could take for a formula keeps its text behind a quote; a cell with a
// comma, quote or line break is quoted.
std::string csvCell(std::string cell) {
    if (!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@')) {
        cell.insert(cell.begin(), '\'');
    }
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
        return cell;
    }
    std::string quoted = "\"";
    for (const char c : cell) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

std::string csvTable(const history::NameStats& stats) {
    std::string text = "\xEF\xBB\xBF统计,日期或项目,类别,域名数\r\n";
    const auto row = [&text](std::string_view what, const std::string& item,
                             const std::string& kind, std::int64_t names) {
        text += std::string(what) + "," + csvCell(item) + "," + csvCell(kind) + "," +
                std::to_string(names) + "\r\n";
    };
    for (std::size_t d = 0; d < stats.perDay.size(); ++d) {
        const std::string date = history::dateOfDay(stats.firstDay + static_cast<std::int64_t>(d));
        for (std::size_t k = 0; k < stats.kinds.size(); ++k) {
            row("每日新增", date, stats.kinds[k], stats.perDay[d][k]);
        }
    }
    for (const history::SuffixCount& s : stats.suffixes) {
        row("后缀", s.tld, "", s.names);
    }
    for (int b = 0; b < history::kScoreBands; ++b) {
        row("评分", bandText(b), "", stats.scoreBands[static_cast<std::size_t>(b)]);
    }
    row("评分", "未评分", "", stats.unscored);
    return text;
}

std::string textTable(const history::NameStats& stats, const std::string& filter) {
    const std::int64_t lastDay =
        stats.firstDay + static_cast<std::int64_t>(stats.perDay.size()) - 1;
    std::string text = "新出现的域名（北京时间 " + history::dateOfDay(stats.firstDay) + " 至 " +
                       history::dateOfDay(std::max(lastDay, stats.firstDay)) + "，按首次发现日";
    if (!filter.empty()) {
        text += "；筛选：" + filter;
    }
    text += "）：共 " + std::to_string(stats.total) + " 个\n\n";

    std::vector<std::vector<std::string>> days{{"日期", "合计"}};
    days[0].insert(days[0].end(), stats.kinds.begin(), stats.kinds.end());
    for (std::size_t d = 0; d < stats.perDay.size(); ++d) {
        std::vector<std::string> row{
            history::dateOfDay(stats.firstDay + static_cast<std::int64_t>(d)), ""};
        std::int64_t sum = 0;
        for (const std::int64_t n : stats.perDay[d]) {
            row.push_back(std::to_string(n));
            sum += n;
        }
        row[1] = std::to_string(sum);
        days.push_back(std::move(row));
    }
    text += aligned(days);

    text += "\n后缀占比\n";
    std::vector<std::vector<std::string>> suffixes{{"后缀", "域名数", "占比"}};
    for (const history::SuffixCount& s : stats.suffixes) {
        suffixes.push_back({s.tld, std::to_string(s.names), percent(s.names, stats.total)});
    }
    text += aligned(suffixes);

    text += "\n评分分布\n";
    if (!stats.hasScores()) {
        text += "（没有评分）\n";
        return text;
    }
    std::vector<std::vector<std::string>> bands{{"评分", "域名数"}};
    for (int b = 0; b < history::kScoreBands; ++b) {
        bands.push_back(
            {bandText(b), std::to_string(stats.scoreBands[static_cast<std::size_t>(b)])});
    }
    bands.push_back({"未评分", std::to_string(stats.unscored)});
    text += aligned(bands);
    return text;
}

}  // namespace

std::string statsTable(const history::NameStats& stats, const std::string& filter, bool csv) {
    return csv ? csvTable(stats) : textTable(stats, filter);
}

int runStatsCommand(const Settings& settings, std::time_t now, std::ostream& err) {
    auto compiled = compileFilter(settings.filter, settings.scoreWeights);
    if (const auto* message = std::get_if<std::string>(&compiled)) {
        err << *message << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    const std::int64_t today = history::beijingDay(static_cast<std::int64_t>(now));
    std::int64_t firstDay = today - kDefaultDays + 1;
    if (!settings.since.empty()) {
        const std::optional<std::int64_t> day = history::dayOfDate(settings.since);
        if (!day) {
            err << "--since 需要日期 YYYY-MM-DD，不能是 \"" << settings.since << "\"\n";
            return exitStatus(ExitCode::BadOptions);
        }
        if (*day > today) {
            err << "--since 的日期 " << settings.since << " 晚于今天（北京时间 "
                << history::dateOfDay(today) << "）\n";
            return exitStatus(ExitCode::BadOptions);
        }
        firstDay = *day;
    }
    if (settings.historyPath.empty()) {
        err << "--stats 需要历史记录，不能与 --no-history 同用\n";
        return exitStatus(ExitCode::BadOptions);
    }
    auto prepared =
        prepareOutput(settings.output.empty() ? "-" : settings.output, settings.format, now);
    if (const auto* problem = std::get_if<OutputProblem>(&prepared)) {
        err << problem->message << '\n';
        return exitStatus(problem->code);
    }
    const OutputTarget& target = std::get<OutputTarget>(prepared);
    if (target.format != exporting::Format::Txt && target.format != exporting::Format::Csv) {
        err << "--stats 只能写出 txt 或 csv\n";
        return exitStatus(ExitCode::BadOptions);
    }

    history::StatsReader reader = history::StatsReader::open(settings.historyPath);
    if (!reader.ok()) {
        err << reader.unavailableReason() << '\n';
        return exitStatus(ExitCode::HistoryUnavailable);
    }
    const history::NameStats stats = reader.compute(
        program::statsRequestFor({std::get<filter::Filter>(compiled)}, firstDay, today));
    if (!stats.ok()) {
        err << "历史记录读取失败：" << stats.error << '\n';
        return exitStatus(ExitCode::HistoryUnavailable);
    }
    const std::string table =
        statsTable(stats, settings.filter, target.format == exporting::Format::Csv);
    if (const io::WriteStatus failed = io::writeFile(target.path, table)) {
        err << writeFailureMessage(*failed) << '\n';
        return exitStatus(ExitCode::OutputNotWritable);
    }
    return exitStatus(ExitCode::Ran);
}

}  // namespace jilan::cli
