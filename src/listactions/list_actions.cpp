#include "list_actions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#include "app/failure_text.h"
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

std::string errnoText(int code) {
    return app::fileFailureText(code, {});
}

// A temporary file that is removed again unless it was renamed into place.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        closeFd();
        if (!path_.empty() && !committed_) {
            ::unlink(path_.c_str());
        }
    }

    // Creates the file from a mkstemp template; errno is kept on failure.
    bool create(std::string templ) {
        fd_ = ::mkstemp(templ.data());
        if (fd_ < 0) {
            return false;
        }
        path_ = std::move(templ);
        return true;
    }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // Closes the descriptor, reporting a failed close (a late write error).
    bool close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    void committed() { committed_ = true; }

private:
    void closeFd() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    int fd_ = -1;
    std::string path_;
    bool committed_ = false;
};

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The permission bits a newly created file gets under the process's umask,
// read without changing it.
mode_t newFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                const auto mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
                return static_cast<mode_t>(0666 & ~mask);
            } catch (const std::exception&) {
                break;
            }
        }
    }
    return 0644;
}

WriteOutcome failure(int code) {
    return WriteOutcome{false, errnoText(code)};
}

}  // namespace

WriteOutcome writeListAtomically(const std::string& path, const std::vector<std::string>& entries) {
    if (path.empty()) {
        return failure(ENOENT);
    }
    // A link is followed, so the file it points at is replaced, not the link.
    std::string target = path;
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        const std::unique_ptr<char, decltype(&std::free)> resolved(
            ::realpath(path.c_str(), nullptr), &std::free);
        if (resolved) {
            target = resolved.get();
        }
    }

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) {
        return failure(EISDIR);
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        return failure(EISDIR);
    }
    // A device or a pipe must not be swapped for a plain file.
    if (exists && !S_ISREG(existing.st_mode)) {
        return failure(EINVAL);
    }

    // The temporary name stays short enough for any name the target may have.
    TempFile temp;
    const std::string tempName = "." + name.substr(0, 64) + ".XXXXXX";
    if (!temp.create((slash == std::string::npos ? std::string() : folder) + tempName)) {
        return failure(errno);
    }
    const mode_t mode = exists ? (existing.st_mode & 07777) : newFileMode();
    if (::fchmod(temp.fd(), mode) != 0) {
        return failure(errno);
    }

    std::string buffer;
    constexpr std::size_t kChunk = 64 * 1024;
    buffer.reserve(kChunk + 512);
    for (const std::string& entry : entries) {
        buffer += entry;
        buffer += "\r\n";
        if (buffer.size() >= kChunk) {
            if (!writeAll(temp.fd(), buffer)) {
                return failure(errno);
            }
            buffer.clear();
        }
    }
    if (!writeAll(temp.fd(), buffer)) {
        return failure(errno);
    }
    if (::fsync(temp.fd()) != 0) {
        return failure(errno);
    }
    if (!temp.close()) {
        return failure(errno);
    }
    if (::rename(temp.path().c_str(), target.c_str()) != 0) {
        return failure(errno);
    }
    temp.committed();

    // Make the new directory entry durable too; the data is already safe.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
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

    const WriteOutcome outcome = writeListAtomically(*chosen, form_.List1.items());
    if (outcome.ok) {
        platform_.messageBox(kSaved, app::kMessageTitle, app::MessageButtons::Ok,
                             app::MessageIcon::Information);
    } else {
        platform_.messageBox(std::string(kSaveFailed) + *chosen + ": " + outcome.error,
                             app::kMessageTitle, app::MessageButtons::Ok,
                             app::MessageIcon::Information);
    }
}

}  // namespace jilan::listactions
