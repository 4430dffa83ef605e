#include "notify_run.h"

#include <ctime>
#include <filesystem>
#include <ostream>
#include <unordered_set>

#include "base/name_key.h"
#include "filter/score.h"
#include "history/push_outbox.h"
#include "history/reader.h"
#include "history/watchlist.h"
#include "push/delivery.h"
#include "push/standard_sender.h"
#include "push/url_mask.h"

namespace jilan::cli {
namespace {

std::string localDate(std::time_t at, const char* format) {
    std::tm local{};
    localtime_r(&at, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

// The outbox of one run as the delivery's log.
class OutboxLog : public push::DeliveryLog {
public:
    OutboxLog(history::PushOutbox& outbox, std::int64_t run) : outbox_(outbox), run_(run) {}
    bool delivered(const std::string& digest, const std::string& channel, int number) override {
        return outbox_.delivered(run_, digest, channel, number);
    }
    void record(const std::string& digest, const std::string& channel, int number, bool ok,
                const std::string& text) override {
        outbox_.record(run_, digest, channel, number, ok, text, std::time(nullptr));
    }

private:
    history::PushOutbox& outbox_;
    std::int64_t run_;
};

std::string channelLabel(const push::Channel& c) {
    std::string label = c.name + "（" + std::string(push::limitsOf(c.type).label);
    if (!c.url.empty()) {
        label += " " + push::maskUrl(c.url);
    }
    return label + "）";
}

// Delivers the jobs and reports each outcome; PushFailed when any channel failed.
ExitCode deliverAndReport(const push::NotifyConfig& config,
                          const std::vector<push::DigestJob>& jobs, push::DeliveryLog* log,
                          std::ostream& err) {
    const auto outcomes = push::deliver(jobs, push::standardSender({}), push::realTiming(), log);
    const push::Redactor redactor = push::redactorFor(config);
    bool allOk = true;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const push::ChannelOutcome& o = outcomes[i];
        allOk = allOk && o.ok;
        std::string line =
            "推送 " + o.digest + " → " + channelLabel(*jobs[i].channel) + "：" + o.text;
        if (o.ok && o.earlier > 0) {
            line += "（" + std::to_string(o.earlier) + " 条此前已送达）";
        }
        err << redactor.apply(line) << '\n';
    }
    if (!allOk) {
        err << "部分推送失败\n";
    }
    return allOk ? ExitCode::Ran : ExitCode::PushFailed;
}

}  // namespace

std::variant<push::NotifyConfig, std::string> loadNotifyConfig(const Settings& settings) {
    if (settings.notifyConfig.empty()) {
        return std::string("找不到通知配置：请用 --notify-config 指定文件");
    }
    return push::readNotifyConfig(
        settings.notifyConfig, [&settings](const std::string& text) -> std::optional<std::string> {
            auto compiled = compileFilter(text, settings.scoreWeights);
            if (const auto* message = std::get_if<std::string>(&compiled)) {
                return *message;
            }
            return std::nullopt;
        });
}

int runNotifyTest(const Settings& settings, std::ostream& out, std::ostream& err) {
    auto loaded = loadNotifyConfig(settings);
    if (const auto* message = std::get_if<std::string>(&loaded)) {
        err << *message << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    const push::NotifyConfig& config = std::get<push::NotifyConfig>(loaded);
    const std::string when = localDate(std::time(nullptr), "%Y-%m-%d %H:%M");
    push::Message message{1, 1, "霁岚 推送测试",
                          "霁岚 推送测试\n此通道可以收到采集结果（" + when + "）"};
    std::vector<push::DigestJob> jobs;
    for (const push::Channel& c : config.channels) {
        jobs.push_back({"测试", &c, {message}, {"测试", when, {}}});
    }
    const auto outcomes =
        push::deliver(jobs, push::standardSender({}), push::realTiming(), nullptr);
    const push::Redactor redactor = push::redactorFor(config);
    bool allOk = true;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        allOk = allOk && outcomes[i].ok;
        out << redactor.apply(channelLabel(*jobs[i].channel) + "：" + outcomes[i].text) << '\n';
    }
    return exitStatus(allOk ? ExitCode::Ran : ExitCode::PushFailed);
}

ExitCode sendDigests(const push::NotifyConfig& config, const Settings& settings,
                     const RunFacts& facts, const RunNames& names, std::ostream& err) {
    const std::time_t now = std::time(nullptr);
    std::vector<std::vector<push::DigestEntry>> entries(config.digests.size());
    std::vector<filter::Filter> filters;
    for (const push::Digest& d : config.digests) {
        auto compiled = compileFilter(d.filter, settings.scoreWeights);
        filters.push_back(std::holds_alternative<filter::Filter>(compiled)
                              ? std::get<filter::Filter>(compiled)
                              : filter::Filter());
    }
    names([&](const std::string& domain, bool isNew) {
        const filter::NameFeatures f = filter::computeFeatures(domain);
        for (std::size_t i = 0; i < config.digests.size(); ++i) {
            if ((config.digests[i].onlyNew && !isNew) || !filters[i].matches(f, isNew)) {
                continue;
            }
            entries[i].push_back({domain,
                                  std::string(filter::classText(f.kind)),
                                  f.length,
                                  filter::scoreValue(f, settings.scoreWeights),
                                  {}});
        }
    });
    // The watchlist's 关注变化 and the reminders whose moment passed before --remind could send
    // them head the digest, each once.
    std::vector<std::string> notes = facts.notes;
    std::optional<history::Watchlist> watchlist;
    std::vector<history::ReminderRecord> missed;
    history::Watchlist::Changes changes;
    std::error_code ec;
    if (!settings.historyPath.empty() && std::filesystem::exists(settings.historyPath, ec)) {
        watchlist.emplace(
            history::Watchlist::open(settings.historyPath, history::OpenMode::ReadWrite));
        missed = watchlist->unreportedMissed();
        for (const history::ReminderRecord& r : missed) {
            notes.push_back(r.text);
        }
        changes = watchlist->unreportedChanges();
        notes.insert(notes.end(), changes.lines.begin(), changes.lines.end());
    }
    std::vector<push::DigestJob> jobs;
    std::vector<std::vector<push::DigestEntry>> kept(config.digests.size());
    for (std::size_t i = 0; i < config.digests.size(); ++i) {
        const push::Digest& d = config.digests[i];
        if (entries[i].empty() && !d.sendWhenEmpty) {
            continue;
        }
        push::DigestFacts digestFacts{
            localDate(now, "%Y-%m-%d"), d.name, d.onlyNew, d.maxNames, facts.outputFile,
            facts.somePagesFailed,      notes};
        const push::DigestText text = push::layoutDigest(entries[i], digestFacts);
        kept[i] = std::move(entries[i]);
        for (const std::string& name : d.channels) {
            const push::Channel* channel = config.channel(name);
            jobs.push_back({d.name,
                            channel,
                            push::splitDigest(text, push::limitsOf(channel->type)),
                            {d.name, localDate(now, "%Y-%m-%d %H:%M"), kept[i]}});
        }
    }
    std::optional<history::PushOutbox> outbox;
    std::optional<OutboxLog> log;
    if (facts.runId && !settings.historyPath.empty()) {
        outbox.emplace(settings.historyPath);
        if (outbox->ok()) {
            if (settings.notifyResend) {
                outbox->forget(*facts.runId);
            }
            log.emplace(*outbox, *facts.runId);
        } else {
            err << outbox->unavailableReason() << "；推送不做送达记录\n";
        }
    }
    const ExitCode code = deliverAndReport(config, jobs, log ? &*log : nullptr, err);
    if (code == ExitCode::Ran && !jobs.empty() && watchlist) {
        watchlist->markReported(missed);
        watchlist->markChangesReported(changes.lastId);
    }
    return code;
}

ExitCode sendAlert(const push::NotifyConfig& config, const std::string& text, std::ostream& err) {
    push::Message message{1, 1, text, "霁岚 " + text};
    std::vector<push::DigestJob> jobs;
    std::unordered_set<std::string> seen;
    for (const push::Digest& d : config.digests) {
        for (const std::string& name : d.channels) {
            if (seen.insert(name).second) {
                jobs.push_back({"采集异常", config.channel(name), {message}, {"采集异常", {}, {}}});
            }
        }
    }
    return deliverAndReport(config, jobs, nullptr, err);
}

int runNotifyMissing(const Settings& settings, std::ostream& err) {
    auto loaded = loadNotifyConfig(settings);
    if (const auto* message = std::get_if<std::string>(&loaded)) {
        err << *message << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    if (settings.historyPath.empty()) {
        err << "--notify 单独使用时需要历史记录，不能与 --no-history 同用\n";
        return exitStatus(ExitCode::BadOptions);
    }
    std::optional<std::int64_t> run;
    {
        history::PushOutbox outbox(settings.historyPath);
        if (!outbox.ok()) {
            err << outbox.unavailableReason() << '\n';
            return exitStatus(ExitCode::HistoryUnavailable);
        }
        run = outbox.newestCompletedRun();
    }
    if (!run) {
        err << "历史记录中还没有完成的采集，没有可推送的内容\n";
        return exitStatus(ExitCode::Ran);
    }
    history::Reader reader = history::Reader::open(settings.historyPath);
    const auto row = reader.run(*run);
    RunFacts facts;
    facts.runId = run;
    facts.outputFile = "历史记录（--search-history）";
    facts.somePagesFailed = row && row->pagesFailed > 0;
    // The history keeps which names were new in a run; names seen again are not listed.
    const ExitCode code = sendDigests(
        std::get<push::NotifyConfig>(loaded), settings, facts,
        [&](const std::function<void(const std::string&, bool)>& each) {
            reader.newDomainsInRun(*run, [&](std::string_view domain) {
                each(std::string(domain), true);
                return true;
            });
        },
        err);
    return exitStatus(code);
}

}  // namespace jilan::cli
