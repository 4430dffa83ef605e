#include "reminder_notifier.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "push/notify_config.h"

namespace jilan::ui {

ReminderNotifier::ReminderNotifier(app::Platform& platform, Claim claim, int intervalMs)
    : platform_(platform), claim_(std::move(claim)) {
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

ReminderNotifier::~ReminderNotifier() {
    timer_.stop();
    if (worker_.joinable()) {
        worker_.join();
    }
    // A result the worker posted is dropped with this object's pending events.
}

void ReminderNotifier::start() {
    tick();
    timer_.start();
}

void ReminderNotifier::tick() {
    if (reading_) {
        return;
    }
    if (worker_.joinable()) {
        worker_.join();  // the last read is over: it posted its result before ending
    }
    reading_ = true;
    worker_ = std::thread([this] {
        watchlist::WindowClaim claim = claim_();
        QMetaObject::invokeMethod(
            this, [this, claim = std::move(claim)] { show(claim); }, Qt::QueuedConnection);
    });
}

void ReminderNotifier::show(const watchlist::WindowClaim& claim) {
    reading_ = false;
    // No session bus (a server): the claim stands, --remind still reaches the phones.
    for (const watchlist::WindowReminder& r : claim.shown) {
        platform_.notifyDesktop(r.title, r.body);
    }
}

ReminderNotifier::Claim storeClaim(std::string historyPath) {
    return [path = std::move(historyPath)] {
        watchlist::RemindRules rules;
        const std::string configPath =
            push::defaultNotifyConfigPath([](const char* name) -> std::optional<std::string> {
                const char* value = std::getenv(name);
                return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
            });
        // Only [remind] matters here: the digests' filters are the command line's to check.
        const auto config = push::readNotifyConfig(
            configPath, [](const std::string&) { return std::optional<std::string>(); });
        if (const auto* read = std::get_if<push::NotifyConfig>(&config)) {
            rules.beforeDeadline = read->remind.beforeDeadlineSeconds;
            rules.atDeletion = read->remind.atDeletion;
        }
        return watchlist::claimWindowReminders(path, rules, watchlist::systemClock());
    };
}

}  // namespace jilan::ui
