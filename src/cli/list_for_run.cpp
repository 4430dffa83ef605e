#include "list_for_run.h"

#include <optional>
#include <ostream>

#include "progress_line.h"

namespace jilan::cli {

namespace {

// A read still going after this long shows its progress, however few lines it has.
constexpr auto kSlowRead = std::chrono::seconds(1);

// The progress of one list read, shown once the read turns out long.
class ListReadDisplay {
public:
    ListReadDisplay(const std::string& path, const Interruption& interruption, bool terminal,
                    std::ostream& err, std::size_t longList)
        : path_(path),
          interruption_(interruption),
          terminal_(terminal),
          err_(err),
          longList_(longList),
          began_(ProgressLine::Clock::now()) {}

    void update(const ListReadProgress& p) {
        const auto now = ProgressLine::Clock::now();
        if (!line_) {
            if (p.lines <= longList_ && now - began_ < kSlowRead) {
                return;
            }
            // A regular file's size is known: the bar measures bytes. A pipe's is not: lines.
            fileSize_ = p.size;
            line_.emplace(err_, terminal_, "读取", fileSize_ > 0 ? "MiB" : "行");
            line_->followResizes(interruption_.resizes);
            line_->start(fileSize_, began_, false);
            if (!terminal_) {
                err_ << "正在读取名单 " << path_
                     << (fileSize_ > 0 ? "（" + ProgressLine::mebibytes(fileSize_) + " MiB）"
                                       : std::string("（管道）"))
                     << '\n';
            }
        }
        if (fileSize_ > 0) {
            line_->update({.done = p.bytes, .total = fileSize_, .lines = p.lines, .inBytes = true},
                          now);
        } else {
            line_->update({.done = p.lines}, now);
        }
    }

    // Clears the bar; a read that showed its progress ends with its summary.
    void finish(const NameList& list) {
        if (!line_) {
            return;
        }
        line_->finish();
        if (list.error.empty() && !list.interrupted) {
            err_ << "名单读完：" << list.names.size() << " 个域名\n";
        }
    }

private:
    const std::string& path_;
    const Interruption& interruption_;
    const bool terminal_;
    std::ostream& err_;
    const std::size_t longList_;
    const ProgressLine::Clock::time_point began_;
    std::size_t fileSize_ = 0;
    std::optional<ProgressLine> line_;
};

}  // namespace

std::variant<std::vector<std::string>, int> readListForRun(const std::string& path,
                                                           const Interruption& interruption,
                                                           bool terminal, std::ostream& err,
                                                           const ListLimits& limits) {
    ListReadDisplay display(path, interruption, terminal, err, limits.progressEvery);
    NameList list = readNameListFile(
        path, interruption.requested, [&display](const ListReadProgress& p) { display.update(p); },
        limits);
    display.finish(list);
    if (list.interrupted) {
        err << "已中断，未读完名单\n";
        return interruption.exitStatus();
    }
    if (!list.error.empty()) {
        err << list.error << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    for (const SkippedLine& skipped : list.skipped) {
        err << path << " 第 " << skipped.line << " 行：" << skipped.message << '\n';
    }
    return std::move(list.names);
}

}  // namespace jilan::cli
