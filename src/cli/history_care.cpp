#include "history_care.h"

#include <istream>
#include <ostream>

#include "cli_run.h"
#include "history/backup.h"
#include "history/damage.h"
#include "history/integrity.h"

namespace jilan::cli {

namespace {

void listProblems(const history::CheckOutcome& outcome, std::ostream& err) {
    for (const std::string& problem : outcome.problems) {
        err << "  " << problem << '\n';
    }
}

bool confirmed(std::istream& in) {
    std::string answer;
    if (!std::getline(in, answer)) {
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "是";
}

}  // namespace

int runCheckHistoryCommand(const Settings& settings, std::ostream& out, std::ostream& err) {
    const history::CheckOutcome outcome =
        history::checkStore(settings.historyPath, history::CheckDepth::Full);
    if (outcome.passed) {
        out << "历史记录完好：" << settings.historyPath << '\n';
        return exitStatus(ExitCode::Ran);
    }
    if (!outcome.unavailableReason.empty()) {
        err << outcome.unavailableReason << '\n';
        return exitStatus(ExitCode::HistoryUnavailable);
    }
    err << history::kDamagedReason << "。检查发现的问题：\n";
    listProblems(outcome, err);
    return exitStatus(ExitCode::HistoryUnavailable);
}

int runRestoreHistoryCommand(const Settings& settings, std::istream& in, std::ostream& err,
                             std::time_t now) {
    const std::string& path = settings.historyPath;
    const std::optional<std::string> backup = history::newestGoodBackup(path);
    if (!backup) {
        err << "没有可用的备份：" << history::backupPath(path, 0) << " 与 "
            << history::backupPath(path, 1) << " 都不存在或已损坏，历史记录未改动\n";
        return exitStatus(ExitCode::HistoryUnavailable);
    }
    if (!settings.yes) {
        err << "将用备份 " << *backup << " 替换历史记录 " << path
            << "（原文件改名保留）。确认请输入 y：";
        err.flush();
        if (!confirmed(in)) {
            err << "未确认，历史记录未改动\n";
            return exitStatus(ExitCode::HistoryUnavailable);
        }
    }
    if (const std::string problem = history::restoreBackup(path, *backup, now); !problem.empty()) {
        err << problem << '\n';
        return exitStatus(ExitCode::HistoryUnavailable);
    }
    err << "已用备份 " << *backup << " 恢复历史记录：" << path << '\n';
    return exitStatus(ExitCode::Ran);
}

int careAfterRun(const std::string& historyPath, std::time_t now, std::ostream& err, int status) {
    const history::ScheduledCheck check = history::quickCheckIfDue(historyPath, now);
    if (check.ran && !check.outcome.passed) {
        err << history::kDamagedReason << '\n';
        listProblems(check.outcome, err);
        return exitStatus(ExitCode::HistoryUnavailable);
    }
    if (const history::BackupOutcome backup = history::backupIfDue(historyPath, now);
        !backup.error.empty()) {
        err << backup.error << '\n';
        if (history::isMarkedDamaged(historyPath)) {
            return exitStatus(ExitCode::HistoryUnavailable);
        }
    }
    return status;
}

}  // namespace jilan::cli
