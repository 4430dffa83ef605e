#pragma once

// Notifications from the command line: the configuration read before any request, the test
// message per channel, the digests of a harvest, and a second pass over the newest run.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>

#include "cli_run.h"
#include "push/notify_config.h"

namespace jilan::cli {

// notify.toml with each digest's filter checked; the message of a file that is refused.
std::variant<push::NotifyConfig, std::string> loadNotifyConfig(const Settings& settings);
// The same checks for a file named outright (the window reads the default file).
std::variant<push::NotifyConfig, std::string> loadNotifyConfig(const std::string& path,
                                                               const filter::ScoreWeights& weights);

// --notify-test: one short message per channel; 成功 or the platform's answer per channel.
int runNotifyTest(const Settings& settings, std::ostream& out, std::ostream& err);

// --notify / --notify-resend without --harvest: the newest completed run's digests, only what is
// still missing (or all again with notifyResend).
int runNotifyMissing(const Settings& settings, std::ostream& err);

// A name of the run with whether the history saw it first in this run.
using RunNames = std::function<void(const std::function<void(const std::string&, bool)>&)>;

struct RunFacts {
    std::optional<std::int64_t> runId;  // the history's run; none: delivered without a record
    std::string outputFile;
    bool somePagesFailed = false;
    std::vector<std::string> notes;  // warnings for every digest's head
};

// The digests of a finished harvest. ExitCode::Ran, or PushFailed when a channel could not be
// reached; the per-channel outcomes go to `err`.
ExitCode sendDigests(const push::NotifyConfig& config, const Settings& settings,
                     const RunFacts& facts, const RunNames& names, std::ostream& err);

// Sends one alert text to every channel of every digest (a run that failed says why).
ExitCode sendAlert(const push::NotifyConfig& config, const std::string& text, std::ostream& err);

}  // namespace jilan::cli
