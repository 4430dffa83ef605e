#pragma once

// What every window-less run shares: its exit codes, the way a signal asks it to
// stop, and the output file it writes.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "config/urls.h"
#include "export/domain_table.h"
#include "export/table_writer.h"
#include "filter/filter_expr.h"
#include "harvest/harvester.h"
#include "history/reader.h"
#include "net/fetch_result.h"
#include "settings.h"

namespace jilan::cli {

// The exit status of every window-less run.
enum class ExitCode : int {
    Ran = 0,
    OutputNotWritable = 1,
    BadOptions = 2,
    SiteRefused = 3,         // some pages or queries failed, a site kept refusing, or every detail
                             // failed (file still written)
    HistoryUnavailable = 4,  // output written without the history
    HarvestFailed =
        5,  // 采集失败: every listing page failed, or none could be parsed (file still written)
    PushFailed = 6,     // 部分推送失败: a channel could not be reached (file still written)
    Interrupted = 130,  // SIGINT: output written with what was done
    Terminated = 143,   // SIGTERM: likewise
};

inline int exitStatus(ExitCode code) {
    return static_cast<int>(code);
}

// Of two exit statuses that both apply, the one a run reports: the first of 130/143, 2, 1,
// 4, 5, 3 (any other failure after those), and 0 only when both are 0.
int firstExitStatus(int a, int b);

// Set from a signal watcher (or a test) to ask a run to stop; the run writes what it has done.
// The watcher also counts the terminal's resizes here, the other signal a run listens to.
struct Interruption {
    std::atomic<bool> requested{false};
    std::atomic<int> signal{0};
    // How often the terminal has changed its size (SIGWINCH): a progress bar redraws at the
    // new width when this moves.
    std::atomic<unsigned> resizes{0};

    void request(int signalNumber) {
        signal.store(signalNumber);
        requested.store(true);
    }
    // 130 for SIGINT, 143 for SIGTERM (128 + the signal number otherwise).
    int exitStatus() const;
};

// UTC seconds of the local midnight that starts `date` (YYYY-MM-DD); nullopt for anything
// that is not a real calendar date.
std::optional<std::int64_t> localMidnightUtc(std::string_view date);

// The filter of a run (its score terms with the run's weights), or its Chinese message.
std::variant<filter::Filter, std::string> compileFilter(const std::string& expression,
                                                        const filter::ScoreWeights& weights);

// settings.scoreWeights read from settings.scoreConfig (a missing default file leaves the
// defaults), or the Chinese message of a file that cannot be read or is malformed.
std::optional<std::string> loadScoreWeights(Settings& settings);

// The features of a remembered name from its stored columns, recomputed when they were stored
// by other rules.
filter::NameFeatures featuresOf(const history::NameRow& row);

// The output of a run, ready for rows: the template expanded, missing folders made, the format
// decided and the target checked.
struct OutputTarget {
    std::string path;  // as expanded
    exporting::Format format = exporting::Format::Txt;
};
struct OutputProblem {
    ExitCode code = ExitCode::OutputNotWritable;
    std::string message;  // Chinese
};
// `withDetails`: the run queries details, which a txt file (one name a line) cannot hold.
std::variant<OutputTarget, OutputProblem> prepareOutput(const std::string& output,
                                                        const std::string& format, std::time_t now,
                                                        bool withDetails = false);

// "无法写入 FILE：reason" for a failed write.
std::string writeFailureMessage(const io::WriteFailure& failure);

}  // namespace jilan::cli
