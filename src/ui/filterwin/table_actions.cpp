#include "table_actions.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "app/failure_text.h"
#include "base/ascii_case.h"
#include "export/table_writer.h"
#include "net/market_requests.h"
#include "net/url_check.h"

namespace jilan::ui::filterwin {

std::vector<int> exportTargets(std::vector<int> selectedViewRows, int shownRows) {
    if (selectedViewRows.size() >= 2) {
        std::sort(selectedViewRows.begin(), selectedViewRows.end());
        selectedViewRows.erase(std::unique(selectedViewRows.begin(), selectedViewRows.end()),
                               selectedViewRows.end());
        std::erase_if(selectedViewRows, [shownRows](int r) { return r < 0 || r >= shownRows; });
        return selectedViewRows;
    }
    std::vector<int> all(static_cast<std::size_t>(std::max(shownRows, 0)));
    for (int i = 0; i < shownRows; ++i) {
        all[static_cast<std::size_t>(i)] = i;
    }
    return all;
}

exporting::DomainRow exportRow(const TableRow& row, const filter::ScoreWeights& weights) {
    exporting::NameRecord record = row.record();
    const filter::Score score = filter::scoreName(row.features, weights);
    record.score = &score;
    // Named as listed, whatever the history or the query spelled.
    return exporting::rowOf(record);
}

ExportTarget exportTarget(const std::string& typedPath, std::size_t chosenFilter) {
    // In the order of kExportFilter's entries.
    struct Choice {
        const char* extension;
        exporting::Format format;
    };
    static constexpr Choice kChoices[] = {
        {".txt", exporting::Format::Txt},
        {".csv", exporting::Format::Csv},
        {".xlsx", exporting::Format::Xlsx},
    };
    const std::filesystem::path path(typedPath);
    const std::string typed = base::lowerAscii(path.extension().string());
    for (const Choice& choice : kChoices) {
        if (typed == choice.extension) {
            return {typedPath, choice.format};
        }
    }
    const Choice& chosen = kChoices[chosenFilter < std::size(kChoices) ? chosenFilter : 0];
    if (path.has_filename() && !path.has_extension()) {
        return {typedPath + chosen.extension, chosen.format};
    }
    return {typedPath, chosen.format};
}

io::WriteStatus exportRows(const ExportTarget& target, const std::vector<const TableRow*>& rows,
                           const filter::ScoreWeights& weights) {
    exporting::OpenedTable table =
        exporting::openTable(target.format, target.path, exporting::xlsxOptionsFor(rows.size()));
    if (!table.writer) {
        return table.failure;
    }
    for (const TableRow* row : rows) {
        if (io::WriteStatus failed = table.writer->add(exportRow(*row, weights))) {
            return failed;
        }
    }
    return table.writer->commit();
}

std::string exportedText(std::size_t count, const std::string& path) {
    return "已导出 " + std::to_string(count) + " 个域名到 " + path;
}

std::string exportFailedText(const std::string& path, const io::WriteFailure& failure) {
    return "域名保存失败: " + path + ": " + app::fileFailureText(failure.errnum, failure.detail);
}

std::string copyText(const std::vector<std::string>& domains) {
    std::string text;
    for (const std::string& domain : domains) {
        text += domain;
        text += '\n';
    }
    return text;
}

std::vector<std::string> bookingUrls(const std::string& marketBase,
                                     const std::vector<std::string>& domains) {
    std::vector<std::string> urls;
    for (const std::string& domain : domains) {
        if (urls.size() == kMostBookingPages) {
            break;
        }
        std::string url = net::detailUrl(marketBase, domain);
        if (net::openableUrl(url)) {
            urls.push_back(std::move(url));
        }
    }
    return urls;
}

std::string bookingQuestion(std::size_t count) {
    const std::size_t opened = std::min(count, kMostBookingPages);
    std::string question = "将在浏览器中打开 " + std::to_string(opened) + " 个预定页面";
    if (count > kMostBookingPages) {
        question += "（已选 " + std::to_string(count) + " 个，最多打开 " +
                    std::to_string(kMostBookingPages) + " 个）";
    }
    return question + "，是否继续？";
}

}  // namespace jilan::ui::filterwin
