#include "list_actions.h"

#include <cerrno>
#include <string_view>
#include <utility>

#include "app/failure_text.h"
#include "io/durable_writer.h"
#include "net/market_requests.h"
#include "net/url_check.h"

namespace jilan::listactions {

namespace {

constexpr const char* kNotHarvestedRefusal = "请先进行获取 ..";
constexpr const char* kCopied = "域名已复制 ..";
constexpr const char* kCopyFailed = "复制失败 .. 剪贴板不可用";
constexpr const char* kNothingToExport = "没有可导出域名,请先进行采集";
constexpr const char* kSaveDialogTitle = "请选择要保存的路径";
constexpr const char* kSaved = "域名保存成功!";
constexpr const char* kSaveFailed = "域名保存失败: ";

}  // namespace

std::string exportLine(std::string_view entry) {
    std::string line(entry);
    for (char& c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return line;
}

WriteOutcome writeList(const std::string& path, const std::vector<std::string>& entries) {
    const auto failed = [&path](const io::WriteFailure& f) {
        return WriteOutcome{
            false, path + ": " + app::fileFailureText(f.errnum, f.detail, f.notRegularFile)};
    };
    if (path.empty()) {
        io::WriteFailure none;
        none.errnum = ENOENT;
        return failed(none);
    }
    io::FileWriter writer;
    if (const io::WriteStatus opened = writer.open(path)) {
        return failed(*opened);
    }
    std::string buffer;
    constexpr std::size_t kChunk = 64 * 1024;
    buffer.reserve(kChunk + 512);
    for (const std::string& entry : entries) {
        buffer += exportLine(entry);
        buffer += "\r\n";
        if (buffer.size() >= kChunk) {
            if (const io::WriteStatus wrote = writer.write(buffer)) {
                return failed(*wrote);
            }
            buffer.clear();
        }
    }
    if (const io::WriteStatus wrote = writer.write(buffer)) {
        return failed(*wrote);
    }
    if (const io::WriteStatus committed = writer.commit()) {
        return failed(*committed);
    }
    return WriteOutcome{true, {}};
}

ListActions::ListActions(app::Form1& form, app::Platform& platform, std::string marketBase)
    : form_(form), platform_(platform), marketBase_(std::move(marketBase)) {}

void ListActions::List1_MouseDown(int button, int shift, int x, int y) {
    (void)shift;
    (void)x;
    (void)y;
    // The menu acts on the current selection; the entry under the pointer is not selected.
    if (button == static_cast<int>(app::MouseButton::Right)) {
        platform_.popupMenu(form_.cxcd);
    }
}

void ListActions::fz_Click() {
    if (form_.List1.text().empty()) {
        form_.setStatus(kNotHarvestedRefusal);
        return;
    }
    const bool copied =
        platform_.clearClipboard() && platform_.setClipboardText(form_.List1.text());
    form_.setStatus(copied ? kCopied : kCopyFailed);
}

void ListActions::ydym_Click() {
    if (form_.List1.text().empty()) {
        form_.setStatus(kNotHarvestedRefusal);
        return;
    }
    // The entry is percent-encoded, so it can only ever be a path segment.
    const std::string url = net::detailUrl(marketBase_, form_.List1.text());
    if (!net::openableUrl(url)) {
        return;
    }
    // A browser that fails to start is not reported; the status line keeps its text.
    (void)platform_.openUrl(url);
}

void ListActions::Command5_Click() {
    if (form_.List1.listCount() == 0) {
        platform_.messageBox(kNothingToExport, app::kMessageTitle, app::MessageButtons::Ok,
                             app::MessageIcon::Information);
        return;
    }
    form_.C1.setCancelError(true);
    form_.C1.setDialogTitle(kSaveDialogTitle);
    const std::optional<std::string> chosen =
        platform_.saveFileDialog(form_.C1.dialogTitle(), form_.C1.filter(), form_.C1.fileName());
    if (!chosen) {
        return;
    }
    form_.C1.setFileName(*chosen);

    const WriteOutcome outcome = writeList(*chosen, form_.List1.items());
    if (outcome.ok) {
        platform_.messageBox(kSaved, app::kMessageTitle, app::MessageButtons::Ok,
                             app::MessageIcon::Information);
    } else {
        platform_.messageBox(std::string(kSaveFailed) + outcome.error, app::kMessageTitle,
                             app::MessageButtons::Ok, app::MessageIcon::Warning);
    }
}

}  // namespace jilan::listactions
