#include "remind_command.h"

#include <ostream>

#include "notify_run.h"
#include "push/standard_sender.h"
#include "watchlist/remind_run.h"

namespace jilan::cli {

int runRemindCommand(const Settings& settings, std::ostream& err,
                     const watchlist::WallClock& clock) {
    auto loaded = loadNotifyConfig(settings);
    if (const auto* message = std::get_if<std::string>(&loaded)) {
        err << *message << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    const watchlist::RemindReport report =
        watchlist::runReminders(settings.historyPath, std::get<push::NotifyConfig>(loaded), clock,
                                push::standardSender({}), push::realTiming(), err);
    switch (report.outcome) {
        case watchlist::RemindOutcome::HistoryUnavailable:
            return exitStatus(ExitCode::HistoryUnavailable);
        case watchlist::RemindOutcome::PushFailed:
            return exitStatus(ExitCode::PushFailed);
        case watchlist::RemindOutcome::Ran:
            break;
    }
    return exitStatus(ExitCode::Ran);
}

}  // namespace jilan::cli
