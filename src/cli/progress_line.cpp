#include "progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <ostream>
#include <string_view>

#include "export/domain_table.h"

namespace jilan::cli {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);  // ten times a second at most
constexpr auto kLongRun = std::chrono::minutes(1);
constexpr int kBarCells = 20;
constexpr int kFallbackColumns = 80;
constexpr std::size_t kMiB = 1024 * 1024;

// "20 600": thousands apart, as the summary lines write them.
std::string grouped(std::size_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), " ");
    }
    return digits;
}

// "约 38 秒", "约 4 分钟": the time left at the rate so far.
std::string timeLeft(const ProgressCounts& c, std::chrono::duration<double> elapsed) {
    if (c.done == 0 || c.total <= c.done || elapsed.count() <= 0) {
        return {};
    }
    const double seconds =
        elapsed.count() / static_cast<double>(c.done) * static_cast<double>(c.total - c.done);
    if (seconds < 90) {
        return "约 " + std::to_string(static_cast<long>(seconds + 0.5)) + " 秒";
    }
    return "约 " + std::to_string(static_cast<long>(seconds / 60 + 0.5)) + " 分钟";
}

// A bar of `cells` cells, eighths drawn with the partial blocks.
std::string bar(const ProgressCounts& c, int cells) {
    static constexpr std::string_view kEighths[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
    const double share = c.total == 0 ? 0.0 : std::min(1.0, static_cast<double>(c.done) / c.total);
    const int eighths = static_cast<int>(share * cells * 8);
    std::string text = "▕";
    for (int i = 0; i < eighths / 8; ++i) {
        text += "█";
    }
    int used = eighths / 8;
    if (used < cells && eighths % 8 != 0) {
        text += kEighths[eighths % 8];
        ++used;
    }
    text.append(static_cast<std::size_t>(cells - used), ' ');
    return text + "▏";
}

// The text cut to `columns`, whole characters only.
std::string cutTo(const std::string& text, int columns) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len = 1;
        const auto lead = static_cast<unsigned char>(text[i]);
        len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string next = text.substr(i, len);
        if (static_cast<int>(exporting::displayWidth(out + next)) > columns) {
            break;
        }
        out += next;
        i += len;
    }
    return out;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& err, bool terminal, std::string what, std::string unit,
                           WidthSource width)
    : err_(err),
      terminal_(terminal),
      what_(std::move(what)),
      unit_(std::move(unit)),
      width_(std::move(width)) {}

ProgressLine::~ProgressLine() {
    clear();
}

std::string ProgressLine::barText(const std::string& what, const std::string& unit,
                                  const ProgressCounts& c, Clock::duration elapsed, int columns) {
    const auto amount = [&c](std::size_t n) {
        return c.inBytes ? mebibytes(n) : std::to_string(n);
    };
    // A pipe's length is not known: a count in thousands, without a total or a bar.
    const std::string head =
        what + " " +
        (c.total == 0 ? grouped(c.done) + "/…" : amount(c.done) + "/" + amount(c.total)) + " " +
        unit + " ";
    std::string tail;
    if (c.found > 0) {
        tail += " " + grouped(c.found) + " 个域名";
    }
    if (c.lines > 0) {
        tail += " " + grouped(c.lines) + " 行";
    }
    if (c.failed) {
        tail += std::string(tail.empty() ? " " : " · ") + "失败 " + std::to_string(*c.failed);
    }
    if (const std::string left = timeLeft(c, elapsed); !left.empty()) {
        tail += std::string(tail.empty() ? " " : " · ") + left;
    }
    // The bar takes what the words leave, and goes first when the terminal is narrow.
    const int words = static_cast<int>(exporting::displayWidth(head + tail));
    const int cells = std::min(kBarCells, columns - words - 2);
    const std::string text = cells >= 5 && c.total > 0
                                 ? head + bar(c, cells) + tail
                                 : head + (tail.empty() ? tail : tail.substr(1));
    return cutTo(text, columns);
}

std::string ProgressLine::mebibytes(std::size_t bytes) {
    const std::size_t tenths = (bytes * 10 + kMiB / 2) / kMiB;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::optional<int> ProgressLine::terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return std::nullopt;
    }
    return static_cast<int>(size.ws_col);
}

bool ProgressLine::stderrIsTerminal() {
    const char* term = std::getenv("TERM");
    return ::isatty(STDERR_FILENO) == 1 && !(term != nullptr && std::string_view(term) == "dumb");
}

void ProgressLine::followResizes(const std::atomic<unsigned>& resizes) {
    resizes_ = &resizes;
    resizesSeen_ = resizes.load();
    columns_.reset();
}

void ProgressLine::start(std::size_t total, Clock::time_point now, bool announce) {
    started_ = now;
    counts_ = ProgressCounts{.total = total};
    running_ = true;
    tenthsReported_ = 0;
    if (!terminal_ && announce) {
        err_ << what_ << "开始：共 " << total << " " << unit_ << '\n';
    }
}

void ProgressLine::update(const ProgressCounts& counts, Clock::time_point now) {
    if (!running_) {
        return;
    }
    counts_ = counts;
    if (terminal_) {
        const bool resized = resizes_ != nullptr && resizes_->load() != resizesSeen_;
        if (!shown_ || resized || now - drawnAt_ >= kRedrawEvery) {
            drawnAt_ = now;
            draw(now);
        }
        return;
    }
    // A line at each tenth of the way, only once the run has gone on for a minute.
    const int tenths = counts.total == 0 ? 0 : static_cast<int>(counts.done * 10 / counts.total);
    if (tenths > tenthsReported_ && tenths < 10 && now - started_ >= kLongRun) {
        tenthsReported_ = tenths;
        err_ << barText(what_, unit_, counts_, now - started_, 1000) << '\n';
    }
}

void ProgressLine::note(const std::string& line) {
    const bool wasShown = shown_;
    clear();
    err_ << line << '\n';
    if (wasShown && running_) {
        draw(drawnAt_);
    }
}

void ProgressLine::finish() {
    clear();
    running_ = false;
}

void ProgressLine::draw(Clock::time_point now) {
    if (resizes_ != nullptr) {
        if (const unsigned seen = resizes_->load(); seen != resizesSeen_) {
            resizesSeen_ = seen;
            columns_.reset();
        }
    }
    if (!columns_ || resizes_ == nullptr) {
        columns_ = width_ ? width_().value_or(kFallbackColumns) : kFallbackColumns;
    }
    const int columns = *columns_;
    // One column spare: a line that fills the last column wraps on some terminals.
    err_ << '\r' << barText(what_, unit_, counts_, now - started_, std::max(10, columns - 1))
         << "\x1b[K" << std::flush;
    shown_ = true;
}

void ProgressLine::clear() {
    if (shown_) {
        err_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }
}

}  // namespace jilan::cli
