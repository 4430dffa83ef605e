#pragma once

// The progress of a long window-less run (--harvest, --details, --details-from) on standard
// error. On a terminal: one line redrawn in place at most ten times a second, as wide as the
// terminal, cleared at the end. Elsewhere (a pipe, a journal, cron): a start line, a line at
// every tenth of the way for runs over a minute, never a carriage return.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace jilan::cli {

struct ProgressCounts {
    std::size_t done = 0, total = 0;                   // pages or names; total 0: not known
    std::size_t found = 0;                             // names found so far (a harvest)
    std::optional<std::size_t> failed = std::nullopt;  // nullopt: not known while the run goes on
    std::size_t lines = 0;  // lines read so far (a list read by bytes), shown after the bar
    bool inBytes = false;   // done and total are bytes, shown in MiB
};

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    // Columns of the terminal; nullopt when it cannot tell.
    using WidthSource = std::function<std::optional<int>()>;

    // `what` names the run ("采集"), `unit` what it counts ("页", "个域名").
    ProgressLine(std::ostream& err, bool terminal, std::string what, std::string unit,
                 WidthSource width = terminalWidth);
    ~ProgressLine();  // clears a bar still standing
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The bar reads the terminal's width once and again only when `resizes` moves (the count
    // of SIGWINCH); a move redraws at once, not at the next tenth of a second. Without it the
    // width is read at every redraw.
    void followResizes(const std::atomic<unsigned>& resizes);

    // `announce`: off the terminal, a start line (off when the run prints its own).
    void start(std::size_t total, Clock::time_point now, bool announce = true);
    void update(const ProgressCounts& counts, Clock::time_point now);
    // A line of its own (a failure, a summary): the bar makes way for it and comes back.
    void note(const std::string& line);
    // Clears the bar; what follows is the summary.
    void finish();

    // The text of the bar for `counts` in `columns` terminal columns (CJK characters count
    // two), the rate and time left from `elapsed`.
    static std::string barText(const std::string& what, const std::string& unit,
                               const ProgressCounts& counts, Clock::duration elapsed, int columns);
    // "12.5": bytes in MiB, one decimal.
    static std::string mebibytes(std::size_t bytes);
    // The columns of standard error's terminal (TIOCGWINSZ).
    static std::optional<int> terminalWidth();
    // Standard error is a terminal that can redraw a line.
    static bool stderrIsTerminal();

private:
    void draw(Clock::time_point now);
    void clear();

    std::ostream& err_;
    const bool terminal_;
    const std::string what_, unit_;
    WidthSource width_;
    const std::atomic<unsigned>* resizes_ = nullptr;
    unsigned resizesSeen_ = 0;
    std::optional<int> columns_;  // the width last read, while no resize has come
    Clock::time_point started_{}, drawnAt_{};
    ProgressCounts counts_{};
    bool shown_ = false;    // a bar stands on the terminal's last line
    bool running_ = false;  // between start() and finish()
    int tenthsReported_ = 0;
};

}  // namespace jilan::cli
